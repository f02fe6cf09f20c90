// Scratch folders for one test, removed when the test is done with them.
#pragma once

#include <device/device.h>
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace testing_support {

// A fresh, empty folder under the system's temporary folder.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "plinka-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make " + pattern);
    path_ = pattern;
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A temporary folder that stands for the device's "/" while it exists.
class TemporaryDeviceRoot : public TemporaryFolder {
 public:
  TemporaryDeviceRoot() { device::setRoot(path()); }
  ~TemporaryDeviceRoot() { device::setRoot(""); }
};

}  // namespace testing_support
