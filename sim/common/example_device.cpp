#include "example_device.h"

#include <stdlib.h>

namespace sim {
namespace fs = std::filesystem;
namespace {

fs::path besideProgram(const char* relative, const char* fallback) {
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (!error) {
    fs::path candidate = self.parent_path().parent_path() / relative;
    if (fs::exists(candidate, error)) return candidate;
  }
  return fallback;
}

}  // namespace

fs::path exampleDevice() {
  return besideProgram("examples/device", PLINKA_DEFAULT_EXAMPLE_DEVICE);
}
fs::path tweakFolder() {
  return besideProgram("DynamicLibraries", PLINKA_DEFAULT_TWEAK_DIR);
}

bool TemporaryDevice::make(std::string& error) {
  fs::path example = exampleDevice();
  if (!fs::is_directory(example)) {
    error = "the example device is missing at " + example.string() + " (build the project first)";
    return false;
  }
  std::string pattern = (fs::temp_directory_path() / "plinka-device-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    error = "cannot make a temporary device root in " + fs::temp_directory_path().string();
    return false;
  }
  path_ = pattern;
  std::error_code failure;
  fs::copy(example, path_, fs::copy_options::recursive, failure);
  if (failure) {
    error = "cannot copy the example device: " + failure.message();
    return false;
  }
  return true;
}

TemporaryDevice::~TemporaryDevice() {
  std::error_code ignored;
  if (!path_.empty()) fs::remove_all(path_, ignored);
}

}  // namespace sim
