#include "device_lines.h"

#include <Foundation/ObjectState.h>
#include <device/device.h>

#include <cstdio>

#include "disk_faults.h"

namespace springboard {
namespace {

constexpr const char* kPreferencesFile = "/var/mobile/Library/Preferences/com.plinka.plinka3.plist";

nlohmann::ordered_json prefJson(const PrefValue& value) {
  switch (value.kind) {
    case PrefValue::Kind::Boolean:
      return value.boolean;
    case PrefValue::Kind::Integer:
      return value.integer;
    case PrefValue::Kind::String:
      return value.string;
    case PrefValue::Kind::Remove:
      return nullptr;
  }
  return nullptr;
}

}  // namespace

nlohmann::json toJson(const DeviceState& d) {
  return {{"onAC", d.onAC},
          {"battery", d.battery},
          {"locked", d.locked},
          {"ringerOn", d.ringerOn},
          {"clockMs", d.clockMs},
          {"leftOut", d.leftOut},
          {"launches", d.launches},
          {"initAnswersAnother", d.initAnswersAnother},
          {"diskFaults", d.diskFaults}};
}

DeviceState deviceStateFromJson(const nlohmann::json& j) {
  DeviceState d;
  d.onAC = j.at("onAC");
  d.battery = j.at("battery");
  d.locked = j.at("locked");
  d.ringerOn = j.at("ringerOn");
  d.clockMs = j.at("clockMs");
  d.leftOut = j.at("leftOut").get<std::set<std::string>>();
  d.launches = j.at("launches");
  d.initAnswersAnother = j.at("initAnswersAnother");
  d.diskFaults = j.at("diskFaults");
  return d;
}

bool writePreference(const std::string& key, const PrefValue& value, std::string* failure) {
  ns::AutoreleasePool pool;
  ns::PlistUpdate outcome;
  std::string file = device::hostPath(kPreferencesFile);
  bool written = ns::updatePlistDictionary(
      file,
      [&](id settings) {
        id object = nil;
        switch (value.kind) {
          case PrefValue::Kind::Boolean:
            object = ns::boolNumber(value.boolean);
            break;
          case PrefValue::Kind::Integer:
            object = ns::integerNumber(value.integer);
            break;
          case PrefValue::Kind::String:
            object = ns::string(value.string);
            break;
          case PrefValue::Kind::Remove:
            break;
        }
        ns::setValue(settings, key, object);
      },
      &outcome);
  ns::recordPlistUpdate(file, key, outcome);
  if (!outcome.keptAside.empty()) {
    std::fprintf(stderr, "plinka-sim: %s was unreadable; kept aside as %s\n", kPreferencesFile,
                 outcome.keptAside.c_str());
  }
  if (!written && failure != nullptr) *failure = outcome.failure;
  return written;
}

bool runDeviceLine(const Command& command, DeviceState& device, std::string& error) {
  switch (command.op) {
    case Op::Pref:
      journal::record("pref", {{"key", command.name}, {"value", prefJson(command.value)}});
      if (std::string why; !writePreference(command.name, command.value, &why)) {
        error = std::string("cannot write ") + kPreferencesFile + ": " + why;
        return false;
      }
      return true;
    case Op::Without:
      device.leftOut.insert(command.name);
      journal::record("without", {{"class", command.name}});
      return true;
    case Op::Set:
      if (command.name == "ac") device.onAC = command.number != 0;
      if (command.name == "locked") device.locked = command.number != 0;
      if (command.name == "ringer") device.ringerOn = command.number != 0;
      device::setRingerOn(device.ringerOn);
      if (command.name == "battery") device.battery = command.number;
      if (command.name == "init") device.initAnswersAnother = command.number != 0;
      if (command.name == "disk") {
        device.diskFaults = static_cast<unsigned>(command.number);
        sim::setDiskFaults(device.diskFaults);
        journal::record("fault", {{"disk", command.label}});
        return true;
      }
      journal::record("set", {{"name", command.name}, {"value", command.number}});
      return true;
    case Op::Wait:
      device.clockMs += static_cast<int64_t>(command.seconds * 1000.0 + 0.5);
      device::setNowMs(device.clockMs);
      return true;
    case Op::Note:
      journal::record("note", {{"text", command.name}});
      return true;
    default:
      return true;  // the parser lets nothing else run outside a process
  }
}

}  // namespace springboard
