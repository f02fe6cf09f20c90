#include "device_state.h"

#include <AVFoundation/AVFoundation.h>
#include <Preferences/Preferences.h>
#include <device/device.h>
#include <pkprefs3/ZELImagePickerCell.h>
#include <unistd.h>

extern "C" {
#include <libavutil/hash.h>
}

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "picker.h"
#include "row_text.h"

namespace settings_sim {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSettingsFolder = "/var/mobile/Library/Preferences/";

std::string textOf(id value) {
  return value != nil && ns::isKindOf(value, "NSString") ? ns::utf8(value) : "";
}

// The device path of a host path under the root, this process's id read as "PID".
std::string devicePathOf(const fs::path& host) {
  std::string path = "/" + fs::relative(host, device::root()).generic_string();
  std::string pid = "-" + std::to_string(getpid()) + "-";
  for (size_t at = 0; (at = path.find(pid, at)) != std::string::npos;) {
    path.replace(at, pid.size(), "-PID-");
  }
  return path;
}

bool readBytes(const std::string& hostPath, std::string& bytes) {
  std::ifstream file(hostPath, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return true;
}

std::string fileText(const std::string& hostPath) {
  std::string bytes;
  if (!readBytes(hostPath, bytes)) return "unreadable";
  return std::to_string(bytes.size()) + " bytes, " + digestOf(bytes.data(), bytes.size());
}

// A stored value: data by its format, size and digest; anything else as its JSON.
std::string valueText(id value) {
  nlohmann::ordered_json shown = ns::toJson(value);
  if (ns::isKindOf(value, "NSData")) {
    std::vector<uint8_t> bytes = ns::bytes(value);
    return shown.value("format", "other") + ", " + std::to_string(bytes.size()) + " bytes, " +
           digestOf(bytes.data(), bytes.size());
  }
  return shown.dump();
}

void addSettingsStore(const fs::path& host, std::map<std::string, std::string>& state) {
  std::string path = devicePathOf(host);
  ns::AutoreleasePool pool;
  id stored = ns::readPlist(host.string());
  if (stored == nil || !ns::isKindOf(stored, "NSDictionary")) {
    state[path] = "unreadable settings store, " + fileText(host.string());
    return;
  }
  state[path] = "settings store";
  for (id key : ns::elements(send(stored, "allKeys"))) {
    state[path + " › " + textOf(key)] = valueText(send(stored, "objectForKey:", key));
  }
}

}  // namespace

std::string onDevice(const std::string& hostPath) {
  return devicePathOf(hostPath);
}

std::string digestOf(const void* bytes, size_t size) {
  AVHashContext* context = nullptr;
  if (av_hash_alloc(&context, "SHA256") < 0) return "no digest";
  av_hash_init(context);
  av_hash_update(context, static_cast<const uint8_t*>(bytes), size);
  char hex[2 * AV_HASH_MAX_SIZE + 1] = {};
  av_hash_final_hex(context, reinterpret_cast<uint8_t*>(hex), sizeof hex);
  av_hash_freep(&context);
  return "sha256 " + std::string(hex).substr(0, 16);
}

std::vector<std::string> deviceFiles() {
  std::vector<std::string> files;
  std::error_code error;
  for (fs::recursive_directory_iterator it(device::root(), error), end; !error && it != end;
       it.increment(error)) {
    files.push_back(devicePathOf(it->path()));
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::map<std::string, std::string> deviceState(id controller) {
  std::map<std::string, std::string> state;
  std::error_code error;
  for (fs::recursive_directory_iterator it(device::root(), error), end; !error && it != end;
       it.increment(error)) {
    std::string path = devicePathOf(it->path());
    if (it->is_directory(error)) {
      state[path] = "folder";
    } else if (path.starts_with(kSettingsFolder) && it->path().extension() == ".plist") {
      addSettingsStore(it->path(), state);
    } else {
      state[path] = fileText(it->path().string());
    }
  }
  if (controller == nil) return state;
  for (const ShownRow& shown : shownRows(controller)) {
    if (shown.cell == nil || !ns::isKindOf(shown.cell, "ZELImagePickerCell")) continue;
    nlohmann::ordered_json preview = previewOf(shown.cell);
    std::string source = preview.value("source", "none");
    if (source != "none") {
      source += " " + preview["width"].dump() + "x" + preview["height"].dump();
    }
    state["preview " + shown.label] = source;
  }
  return state;
}

std::vector<PickerRow> pickerRows(id rows) {
  std::vector<PickerRow> found;
  for (id row : ns::elements(rows)) {
    id properties = send(row, "properties");
    if (textOf(ns::valueFor(properties, "cellClass")) != "ZELImagePickerCell") continue;
    nlohmann::ordered_json name = preferences::rowName(row);
    found.push_back({name.is_string() ? name.get<std::string>() : "(unnamed row)",
                     textOf(ns::valueFor(properties, "key")),
                     textOf(ns::valueFor(properties, "defaults")),
                     textOf(ns::valueFor(properties, "videoPath"))});
  }
  return found;
}

std::string rowChoice(const PickerRow& row, bool* whole) {
  ns::AutoreleasePool pool;
  bool ignored = true;
  bool& isWhole = whole != nullptr ? *whole : ignored;
  isWhole = true;
  id value = nil;
  if (!row.key.empty() && !row.defaults.empty()) {
    id stored = ns::readPlist(device::hostPath(kSettingsFolder + row.defaults + ".plist"));
    if (stored != nil && ns::isKindOf(stored, "NSDictionary")) {
      value = ns::valueFor(stored, row.key);
    }
  }
  if (value != nil) {
    std::vector<uint8_t> bytes =
        ns::isKindOf(value, "NSData") ? ns::bytes(value) : std::vector<uint8_t>();
    std::string digest = digestOf(bytes.data(), bytes.size());
    if (ZELParseImage(value) != nil) return "picture " + digest;
    isWhole = false;
    return "value that is no picture, " + digest;
  }
  if (row.videoPath.empty()) return "nothing";
  std::string host = device::hostPath(row.videoPath);
  std::error_code error;
  if (!fs::is_regular_file(host, error)) return "nothing";
  std::string bytes;
  readBytes(host, bytes);
  std::string digest = digestOf(bytes.data(), bytes.size());
  std::vector<uint8_t> rgba;
  int width = 0, height = 0;
  if (avfoundation::firstFrame(host, rgba, width, height)) return "video " + digest;
  isWhole = false;
  return "video without a first frame, " + digest;
}

}  // namespace settings_sim
