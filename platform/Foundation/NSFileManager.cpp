// NSFileManager: questions about files and folders, asked with device paths; removing and
// replacing them.
//
// Every change goes through the device's file layer (device/files.h), so its faults show here as
// Cocoa errors: NSCocoaErrorDomain with NSFileNoSuchFileError (4), NSFileWriteFileExistsError
// (516), NSFileWriteOutOfSpaceError (640) or NSFileWriteUnknownError (512), the system's words
// as the localized description.
//
// Journal: removeItemAtPath:error: records "remove-file" {path, ok}; replaceItemAtURL:... and
// moveItemAtPath:toPath:error: record "move" {from, to, replace (true for the former), ok};
// createDirectoryAtPath:withIntermediateDirectories:... records "make-folder" {path, ok}.
#include <Foundation/NSError.h>
#include <Foundation/ObjectState.h>
#include <device/device.h>
#include <device/files.h>
#include <device/journal.h>

#include <algorithm>
#include <cerrno>
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
constexpr NSInteger NSFileWriteFileExistsError = 516;
constexpr NSInteger NSFileWriteOutOfSpaceError = 640;

// A failure of the file layer as Cocoa reports it: the code by its cause, the system's words as
// the description.
BOOL fail(id* error, int cause) {
  NSInteger code = cause == ENOENT || cause == ENOTDIR ? NSFileNoSuchFileError
                   : cause == EEXIST                   ? NSFileWriteFileExistsError
                   : cause == ENOSPC                   ? NSFileWriteOutOfSpaceError
                                                       : NSFileWriteUnknownError;
  if (error != nullptr)
    *error = ns::error("NSCocoaErrorDomain", code, device::files::describe(cause));
  return NO;
}

BOOL removeItemAtPath(id, SEL, id path, id* error) {
  if (error != nullptr) *error = nil;
  if (path == nil) return fail(error, ENOENT);
  int failure = device::files::removeAll(device::hostPath(utf8(path)));
  journal::record("remove-file", {{"path", utf8(path)}, {"ok", failure == 0}});
  return failure == 0 ? YES : fail(error, failure);
}

std::string pathOf(id urlOrPath) {
  return utf8(isKindOf(urlOrPath, "NSString") ? urlOrPath : msgSend(urlOrPath, sel("path")));
}

// Moves the new item over the original in one rename: the original is replaced whole or not
// at all. Simplified: no backup item, options ignored, the resulting URL is the original's.
BOOL replaceItemAtURL(id, SEL, id original, id replacement, id, NSUInteger, id* resulting,
                      id* error) {
  if (error != nullptr) *error = nil;
  if (resulting != nullptr) *resulting = nil;
  if (original == nil || replacement == nil) return fail(error, ENOENT);
  std::string to = pathOf(original);
  std::string from = pathOf(replacement);
  int failure = device::files::rename(device::hostPath(from), device::hostPath(to), true);
  journal::record("move", {{"from", from}, {"to", to}, {"replace", true}, {"ok", failure == 0}});
  if (failure != 0) return fail(error, failure);
  if (resulting != nullptr) *resulting = original;
  return YES;
}

// Moves an item to a path where nothing stands; fails (NSFileWriteFileExistsError) when
// something does.
BOOL moveItemAtPath(id, SEL, id from, id to, id* error) {
  if (error != nullptr) *error = nil;
  if (from == nil || to == nil) return fail(error, ENOENT);
  int failure =
      device::files::rename(device::hostPath(utf8(from)), device::hostPath(utf8(to)), false);
  journal::record(
      "move", {{"from", utf8(from)}, {"to", utf8(to)}, {"replace", false}, {"ok", failure == 0}});
  return failure == 0 ? YES : fail(error, failure);
}

BOOL createDirectoryAtPath(id, SEL, id path, BOOL intermediates, id, id* error) {
  if (error != nullptr) *error = nil;
  if (path == nil) return fail(error, ENOENT);
  int failure = device::files::makeFolder(device::hostPath(utf8(path)), intermediates != NO);
  journal::record("make-folder", {{"path", utf8(path)}, {"ok", failure == 0}});
  return failure == 0 ? YES : fail(error, failure);
}

// The names in a folder, not its path: every entry but "." and "..", hidden ones included, in
// the order of their names' bytes (the device promises no order; callers that show the names
// sort them). Nil, with NSFileReadNoSuchFileError, for a path that is no readable folder.
id contentsOfDirectoryAtPath(id, SEL, id path, id* error) {
  if (error != nullptr) *error = nil;
  constexpr NSInteger NSFileReadNoSuchFileError = 260;
  auto fail = [error] {
    if (error != nullptr) *error = ns::error("NSCocoaErrorDomain", NSFileReadNoSuchFileError);
    return nil;
  };
  if (path == nil) return fail();
  std::error_code failure;
  std::vector<std::string> names;
  for (fs::directory_iterator entry(device::hostPath(utf8(path)), failure), end;
       !failure && entry != end; entry.increment(failure)) {
    names.push_back(entry->path().filename().string());
  }
  if (failure) return fail();
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
      .method("moveItemAtPath:toPath:error:", moveItemAtPath)
      .method("createDirectoryAtPath:withIntermediateDirectories:attributes:error:",
              createDirectoryAtPath)
      .method("contentsOfDirectoryAtPath:error:", contentsOfDirectoryAtPath)
      .register_();
}

}  // namespace ns
