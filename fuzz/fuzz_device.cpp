#include "fuzz_device.h"

#include <device/device.h>
#include <device/journal.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fuzzing {
namespace {

namespace fs = std::filesystem;

std::string& temporaryRoot() {
  static std::string root;
  return root;
}

void removeTemporaryRoot() {
  std::error_code error;
  if (!temporaryRoot().empty()) fs::remove_all(temporaryRoot(), error);
}

}  // namespace

void useTemporaryDevice() {
  std::string pattern = (fs::temp_directory_path() / "plinka-fuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("plinka fuzz: cannot make a device root");
    std::abort();
  }
  temporaryRoot() = pattern;
  std::atexit(removeTemporaryRoot);
  device::setRoot(pattern);
}

void writeDeviceFile(const std::string& devicePath, const std::string& bytes) {
  fs::path path = device::hostPath(devicePath);
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

void writeJournal() {
  std::string out;
  for (const journal::Entry& entry : journal::entries()) out += entry.dump() + "\n";
  journal::clear();
}

}  // namespace fuzzing
