// What the studio serves from the device's files: its sounds as WAV, its photo library.
// Every function here works under the current device root (device::root()) and takes device
// paths or item names as a client sends them, so each checks that what it is given stays inside
// the device.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace studio {

// A failure with the HTTP status it deserves.
struct Refusal {
  int status;
  std::string message;
};

// The host path of a sound of the device, given as the journal names it (a device path under an
// event's folder of the sound bundle: ".../Plinka3.bundle/Lock////lock.caf"). Refused (400) for
// a path outside those folders, with "." or ".." in it, or whose file resolves (through links)
// outside them; 404 when there is no such file.
std::optional<std::string> soundHostPath(const std::string& devicePath, Refusal& refusal);

// The sound decoded by the system sound service's own decoders, as 16-bit PCM WAV at its own
// rate and channel count; nothing with `error` when it is not audio.
std::optional<std::string> soundAsWav(const std::string& hostPath, std::string& error);

// A validator for the file's current contents: changes whenever the file is replaced or written.
std::string fileTag(const std::string& hostPath);

// The photo library: each item's name, kind ("image" or "video"), pixel size, and a video's
// duration in seconds.
nlohmann::ordered_json libraryItems();

// A PNG of the item at most 256 pixels a side; nothing, with the refusal, for no such item (404)
// or an item that cannot be read (422).
std::optional<std::string> libraryThumbnail(const std::string& name, Refusal& refusal);

// Adds `bytes` as the library's next item, IMG_NNNN.EXT (EXT upper-cased: HEIC, JPG, JPEG, PNG,
// GIF, MOV or MP4); refused (415) when the bytes are no picture or video of that kind.
std::optional<std::string> addToLibrary(const std::string& ext, const std::string& bytes,
                                        Refusal& refusal);

}  // namespace studio
