// The scenario lines that change the device rather than a home-screen process (pref, without,
// set, fault, wait, note), and the state of the device that carries over between processes.
#pragma once

#include <device/journal.h>

#include <cstdint>
#include <set>
#include <string>

#include "scenario.h"

namespace springboard {

// The state of the device between processes.
struct DeviceState {
  bool onAC = false;
  long battery = 1;  // unplugged
  bool locked = false;
  bool initAnswersAnother = false;  // fault injection: see HostState
  unsigned diskFaults = 0;          // fault injection: sim::DiskFaults in force
  bool ringerOn = true;
  int64_t clockMs = 0;
  std::set<std::string> leftOut;  // classes to leave out at the next launch
  int launches = 0;
};

// Runs a device line on `device`, wherever the session is (outside any process, or inside one
// on the device as it has left it); journals it. False, with `error`, when it could not be done
// (a settings file that cannot be written). Other lines do nothing here.
bool runDeviceLine(const Command& command, DeviceState& device, std::string& error);

// The device state as the channel between processes carries it.
nlohmann::json toJson(const DeviceState& device);
DeviceState deviceStateFromJson(const nlohmann::json& json);

// Writes a setting into the product's plist under the device root; false, with `failure` when
// given, when it cannot be written. An unreadable file is kept aside, never overwritten, and
// named on standard error; the journal records both ("kept-aside", "store-failed").
bool writePreference(const std::string& key, const PrefValue& value,
                     std::string* failure = nullptr);

}  // namespace springboard
