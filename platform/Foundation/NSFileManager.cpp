// NSFileManager: questions about files, asked with device paths.
#include <Foundation/ObjectState.h>
#include <device/device.h>

#include <filesystem>
#include <system_error>

#include "internal.h"

namespace ns {
namespace {

namespace fs = std::filesystem;

id defaultManager(id, SEL) {
  static id manager = makeImmortal(msgSend(objc_getClass("NSFileManager"), sel("new")));
  return manager;
}

BOOL fileExistsAtPathIsDirectory(id, SEL, id path, BOOL* isDirectory) {
  if (path == nil) return NO;
  std::error_code error;
  fs::file_status status = fs::status(device::hostPath(utf8(path)), error);
  if (error || !fs::exists(status)) return NO;
  if (isDirectory != nullptr) *isDirectory = fs::is_directory(status) ? YES : NO;
  return YES;
}
BOOL fileExistsAtPath(id self, SEL, id path) {
  return fileExistsAtPathIsDirectory(self, nullptr, path, nullptr);
}
BOOL removeItemAtPath(id, SEL, id path, id* error) {
  if (error != nullptr) *error = nil;
  if (path == nil) return NO;
  std::error_code failure;
  return fs::remove_all(device::hostPath(utf8(path)), failure) > 0 && !failure ? YES : NO;
}
BOOL createDirectoryAtPath(id, SEL, id path, BOOL intermediates, id, id* error) {
  if (error != nullptr) *error = nil;
  if (path == nil) return NO;
  std::error_code failure;
  fs::path host = device::hostPath(utf8(path));
  if (intermediates) {
    fs::create_directories(host, failure);
  } else {
    fs::create_directory(host, failure);
  }
  return failure ? NO : YES;
}

}  // namespace

void internal::registerFileManagerClass() {
  ClassBuilder("NSFileManager", rootClass())
      .classMethod("defaultManager", defaultManager)
      .method("fileExistsAtPath:", fileExistsAtPath)
      .method("fileExistsAtPath:isDirectory:", fileExistsAtPathIsDirectory)
      .method("removeItemAtPath:error:", removeItemAtPath)
      .method("createDirectoryAtPath:withIntermediateDirectories:attributes:error:",
              createDirectoryAtPath)
      .register_();
}

}  // namespace ns
