// PKRootListController: the controller of the example settings pane, the principal class of its
// bundle. Written as a pane author writes one, against the platform's headers and libpkprefs3
// only: a ZELPreferenceController subclass, registered in the object runtime when the bundle's
// executable loads, that reads its rows from the bundle's Root.plist and offers, on each sound
// row, the files that are really in the row's event folder.
//
// Messages:
//   -specifiers
//       The rows: loaded from Root.plist in the pane's bundle the first time they are asked for,
//       kept in `_specifiers` from then on (the framework replaces them with what it shows).
//   -soundValues:(PSSpecifier*)row, -soundTitles:(PSSpecifier*)row
//       The data sources of the sound rows (their `valuesDataSource` and `titlesDataSource`): the
//       names of the files in the folder that the row's `soundFolder` attribute names under the
//       sound bundle, and the same names without their extension. Hidden files (a leading dot)
//       and folders are left out; names are in the order of compare:, as the device's file
//       listing shows them. A row without a folder, or a folder that is missing, offers nothing.
#include <Foundation/Foundation.h>
#include <Preferences/Preferences.h>
#include <pkprefs3/ZELPreferenceController.h>

#include <cstddef>

namespace {

// Where the tweak reads the sound files from: one folder per event.
#define PK_BUNDLE_ROOT "/var/LIY/PreferenceBundles/Plinka3.bundle"

ptrdiff_t specifiersOffset = 0;

// The list controller's `_specifiers`.
id& specifiersOf(id self) {
  return *reinterpret_cast<id*>(reinterpret_cast<char*>(self) + specifiersOffset);
}

id specifiers(id self, SEL) {
  id& rows = specifiersOf(self);
  if (rows == nil) {
    rows = send(send(self, "loadSpecifiersFromPlistName:target:", NSSTR("Root"), self), "retain");
  }
  return rows;
}

// The names of the sound files in the row's event folder, sorted.
id soundFiles(id row) {
  id files = send(cls("NSMutableArray"), "arrayWithCapacity:", NSUInteger{16});
  id folder = send(send(row, "properties"), "objectForKey:", NSSTR("soundFolder"));
  if (folder == nil || !send<BOOL>(folder, "isKindOfClass:", cls("NSString"))) return files;
  id path = send(NSSTR(PK_BUNDLE_ROOT), "stringByAppendingPathComponent:", folder);
  id manager = send(cls("NSFileManager"), "defaultManager");
  id names = send(manager, "contentsOfDirectoryAtPath:error:", path, static_cast<id*>(nullptr));
  NSUInteger count = send<NSUInteger>(names, "count");
  for (NSUInteger i = 0; i < count; ++i) {
    id name = send(names, "objectAtIndex:", i);
    if (send<BOOL>(name, "hasPrefix:", NSSTR("."))) continue;
    BOOL isFolder = NO;
    id file = send(path, "stringByAppendingPathComponent:", name);
    if (!send<BOOL>(manager, "fileExistsAtPath:isDirectory:", file, &isFolder) || isFolder) {
      continue;
    }
    send<void>(files, "addObject:", name);
  }
  return send(files, "sortedArrayUsingSelector:", sel("compare:"));
}

id soundValues(id, SEL, id row) {
  return soundFiles(row);
}

id soundTitles(id, SEL, id row) {
  id files = soundFiles(row);
  NSUInteger count = send<NSUInteger>(files, "count");
  id titles = send(cls("NSMutableArray"), "arrayWithCapacity:", count);
  for (NSUInteger i = 0; i < count; ++i) {
    send<void>(titles, "addObject:",
               send(send(files, "objectAtIndex:", i), "stringByDeletingPathExtension"));
  }
  return titles;
}

__attribute__((constructor)) void registerRootListController() {
  Class base = ZELPreferenceController::runtimeClass();
  if (base == Nil) return;
  ClassBuilder builder("PKRootListController", base);
  if (!builder) return;  // already registered
  builder.method("specifiers", specifiers)
      .method("soundValues:", soundValues)
      .method("soundTitles:", soundTitles)
      .register_();
  specifiersOffset =
      ivar_getOffset(class_getInstanceVariable(objc_getClass("PSListController"), "_specifiers"));
}

}  // namespace
