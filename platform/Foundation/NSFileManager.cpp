// NSFileManager: questions about files and folders, asked with device paths; removing and
// replacing them.
//
// Journal: removeItemAtPath:error: records "remove-file" {path, ok}; replaceItemAtURL:... records
// "move" {from, to, ok}.
#include <Foundation/NSError.h>
#include <Foundation/ObjectState.h>
#include <device/device.h>
#include <device/journal.h>

#include <algorithm>
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
// Cocoa's file error codes.
constexpr NSInteger NSFileNoSuchFileError = 4;
constexpr NSInteger NSFileWriteUnknownError = 512;

BOOL fail(id* error, NSInteger code) {
  if (error != nullptr) *error = ns::error("NSCocoaErrorDomain", code);
  return NO;
}

BOOL removeItemAtPath(id, SEL, id path, id* error) {
  if (error != nullptr) *error = nil;
  if (path == nil) return fail(error, NSFileNoSuchFileError);
  std::error_code failure;
  bool removed = fs::remove_all(device::hostPath(utf8(path)), failure) > 0 && !failure;
  journal::record("remove-file", {{"path", utf8(path)}, {"ok", removed}});
  return removed ? YES : fail(error, failure ? NSFileWriteUnknownError : NSFileNoSuchFileError);
}

// Moves the new item over the original in one rename: the original is replaced whole or not
// at all. Simplified: no backup item, options ignored, the resulting URL is the original's.
BOOL replaceItemAtURL(id, SEL, id original, id replacement, id, NSUInteger, id* resulting,
                      id* error) {
  if (error != nullptr) *error = nil;
  if (resulting != nullptr) *resulting = nil;
  if (original == nil || replacement == nil) return fail(error, NSFileNoSuchFileError);
  std::string to = utf8(msgSend(original, sel("path")));
  std::string from = utf8(msgSend(replacement, sel("path")));
  std::error_code failure;
  fs::rename(device::hostPath(from), device::hostPath(to), failure);
  journal::record("move", {{"from", from}, {"to", to}, {"ok", !failure}});
  if (failure) {
    return fail(error, failure == std::errc::no_such_file_or_directory ? NSFileNoSuchFileError
                                                                       : NSFileWriteUnknownError);
  }
  if (resulting != nullptr) *resulting = original;
  return YES;
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

// The names in a folder, not its path: every entry but "." and "..", hidden ones included, in
// the order of their names' bytes (the device promises no order; callers that show the names
// sort them). Nil, with NSFileReadNoSuchFileError, for a path that is no readable folder.
id contentsOfDirectoryAtPath(id, SEL, id path, id* error) {
  if (error != nullptr) *error = nil;
  constexpr NSInteger NSFileReadNoSuchFileError = 260;
  if (path == nil) {
    fail(error, NSFileReadNoSuchFileError);
    return nil;
  }
  std::error_code failure;
  std::vector<std::string> names;
  for (fs::directory_iterator entry(device::hostPath(utf8(path)), failure), end;
       !failure && entry != end; entry.increment(failure)) {
    names.push_back(entry->path().filename().string());
  }
  if (failure) {
    fail(error, NSFileReadNoSuchFileError);
    return nil;
  }
  std::sort(names.begin(), names.end());
  std::vector<id> strings;
  for (const std::string& name : names) strings.push_back(string(name));
  return array(strings);
}

}  // namespace

void internal::registerFileManagerClass() {
  ClassBuilder("NSFileManager", rootClass())
      .classMethod("defaultManager", defaultManager)
      .method("fileExistsAtPath:", fileExistsAtPath)
      .method("fileExistsAtPath:isDirectory:", fileExistsAtPathIsDirectory)
      .method("removeItemAtPath:error:", removeItemAtPath)
      .method("replaceItemAtURL:withItemAtURL:backupItemName:options:resultingItemURL:error:",
              replaceItemAtURL)
      .method("createDirectoryAtPath:withIntermediateDirectories:attributes:error:",
              createDirectoryAtPath)
      .method("contentsOfDirectoryAtPath:error:", contentsOfDirectoryAtPath)
      .register_();
}

}  // namespace ns
