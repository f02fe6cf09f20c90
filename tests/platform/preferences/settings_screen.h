// Test helpers for the Preferences stand-in and the controllers on it: row lists written from
// JSON, a scratch device root, and reading back what a controller shows.
#pragma once

#include "temporary_folder.h"

#include <Foundation/ObjectState.h>
#include <Preferences/Preferences.h>
#include <device/device.h>
#include <device/journal.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace settings_screen {

using json = nlohmann::ordered_json;

// A property-list object made from JSON (booleans, integers, reals, strings, arrays, objects).
inline id fromJson(const json& value) {
  if (value.is_boolean()) return ns::boolNumber(value.get<bool>());
  if (value.is_number_integer()) return ns::integerNumber(value.get<int64_t>());
  if (value.is_number()) return ns::doubleNumber(value.get<double>());
  if (value.is_string()) return ns::string(value.get<std::string>());
  if (value.is_array()) {
    std::vector<id> items;
    for (const json& item : value) items.push_back(fromJson(item));
    return ns::array(items);
  }
  id dictionary = ns::dictionary();
  for (const auto& [key, item] : value.items()) ns::setValue(dictionary, key, fromJson(item));
  return dictionary;
}

// A switch row storing under `key` in domain "com.test.pane", with any other attributes.
inline json switchRow(const std::string& label, const std::string& key,
                      json more = json::object()) {
  json row = {{"cell", "PSSwitchCell"},
              {"label", label},
              {"key", key},
              {"defaults", "com.test.pane"},
              {"default", false}};
  for (const auto& [name, value] : more.items()) row[name] = value;
  return row;
}
inline json plainRow(const std::string& label) {
  return {{"cell", "PSStaticTextCell"}, {"label", label}};
}

// A scratch device root for one test, removed afterwards.
class DeviceRoot : public testing_support::TemporaryDeviceRoot {
 public:
  DeviceRoot() { device::setSystemVersion("14.4"); }

  // Writes a row list (XML unless `binary`) and answers its host path.
  std::string writeRows(const json& items, bool binary = false,
                        const std::string& name = "Root.plist") const {
    ns::AutoreleasePool pool;
    id root = fromJson({{"title", "Test"}, {"items", items}});
    std::string file = (std::filesystem::path(path()) / name).string();
    ns::writePlist(file, root, binary);
    return file;
  }
  // Stores values in a domain as the device would have them.
  void store(const json& values, const std::string& domain = "com.test.pane") const {
    ns::AutoreleasePool pool;
    ns::writePlist(domainFile(domain), fromJson(values));
  }
  // What a domain holds now, as JSON; null when the file is missing or unreadable.
  json stored(const std::string& domain = "com.test.pane") const {
    ns::AutoreleasePool pool;
    return ns::toJson(ns::readPlist(domainFile(domain)));
  }
  std::string domainFile(const std::string& domain) const {
    return device::hostPath("/var/mobile/Library/Preferences/" + domain + ".plist");
  }
};

// The names of the rows a controller shows, in order.
inline std::vector<std::string> shownRows(id controller) {
  std::vector<std::string> names;
  for (id row : ns::elements(msgSend(controller, sel("specifiers")))) {
    json name = preferences::rowName(row);
    names.push_back(name.is_string() ? name.get<std::string>() : "?");
  }
  return names;
}

// The row of the full list with this name, searched in what the controller shows or in `rows`.
inline id rowNamed(id rows, const std::string& name) {
  for (id row : ns::elements(rows)) {
    if (preferences::rowName(row) == name) return row;
  }
  return nil;
}

// Journal entries from `first` on, without their time, as compact JSON lines.
inline std::vector<std::string> journalSince(size_t first) {
  std::vector<std::string> lines;
  const auto& entries = journal::entries();
  for (size_t i = first; i < entries.size(); ++i) {
    json entry = entries[i];
    entry.erase("t");
    lines.push_back(entry.dump());
  }
  return lines;
}

}  // namespace settings_screen
