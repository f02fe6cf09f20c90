// Where the build put the tweak and the example device, and fresh copies of that device.
#pragma once

#include <filesystem>
#include <string>

namespace sim {

// Found from plinka-sim's own place (the build's bin/ folder is beside them), else where the
// build that made it put them.
std::filesystem::path exampleDevice();
std::filesystem::path tweakFolder();

// A fresh copy of the example device in a temporary folder, removed when this goes, so that a
// command run without --device-root never changes the example itself. It is removed on every
// way out: a normal end, and the signals that end the process (an interrupt, a termination, a
// closed pipe, a hang-up, an abort or a crash), after which the signal takes its course. Its name
// holds the process ID ("plinka-device-PID-XXXXXX"); one left by a process that was killed
// outright is swept by the next make().
class TemporaryDevice {
 public:
  TemporaryDevice() = default;
  TemporaryDevice(const TemporaryDevice&) = delete;
  TemporaryDevice& operator=(const TemporaryDevice&) = delete;
  ~TemporaryDevice();

  // False, with `error`, when the example is missing or cannot be copied.
  bool make(std::string& error);
  // The same, for a copy of the device root `source`.
  bool make(const std::filesystem::path& source, std::string& error);
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace sim
