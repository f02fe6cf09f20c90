// What a run of a script leaves on the device, in a form two runs can be compared by: for
// --explore (the device each order leaves) and --kill-points (what a killed run leaves).
#pragma once

#include <Foundation/Foundation.h>

#include <map>
#include <string>
#include <vector>

namespace settings_sim {

// The device's state, by device path (or "preview ROW"), each with a readable value:
// - each settings store (a .plist under /var/mobile/Library/Preferences/) by content: "PATH"
//   says it is there, and each of its keys is an entry "PATH › KEY", data as "FORMAT, N bytes,
//   sha256 …"; a store that does not read back is "unreadable";
// - every other file under the device root by its bytes ("N bytes, sha256 …"; an export is
//   written bit-exact, so two exports of one video are the same bytes), and every folder;
// - each picker row's preview on the pane `controller` shows (source and size); none without
//   a controller.
// This process's id in a name (a temporary file's VIDEO.export-PID-N) reads as "PID", so that
// runs in different processes compare. The journal is no state.
std::map<std::string, std::string> deviceState(id controller);

// The device path of a host path under the device root, this process's id read as "PID".
std::string onDevice(const std::string& hostPath);

// The files and folders under the device root, by device path, as deviceState() names them.
std::vector<std::string> deviceFiles();

// A short digest of bytes: "sha256 " and the first 16 hexadecimal digits.
std::string digestOf(const void* bytes, size_t size);

// A picker row of the pane: where its choice is kept.
struct PickerRow {
  std::string name;
  std::string key, defaults, videoPath;  // videoPath "" when the row keeps no video
};
// The image picker rows of a row list (an NSArray of PSSpecifier).
std::vector<PickerRow> pickerRows(id rows);

// The choice a picker row holds on the device, as the pane opened afresh would read it: a
// stored value ("picture sha256 …", or "value that is no picture sha256 …" when it does not
// decode), else a video at videoPath ("video sha256 …", or "video without a first frame …"),
// else "nothing". `whole` is false for the two that are not whole.
std::string rowChoice(const PickerRow& row, bool* whole = nullptr);

}  // namespace settings_sim
