// ZELPreferenceController: the list controller the settings pane's controllers derive from.
//
// A class of the object runtime, registered when libpkprefs3 loads, deriving from the
// Preferences framework's PSListController. It adds two behaviours to the framework's list:
//
// - Nested rows. A row with the attribute `nestedEntryCount` (a number or numeric string) owns
//   that many rows directly after it in the full row list; they are shown only while the owner
//   reads on. Runs nest: an inner owner that is off keeps its own run hidden while the outer one
//   is on.
// - Version-gated switches. A switch row with `minimumVersion` and/or `maximumVersion` (inclusive
//   iOS versions) cannot be turned on outside that range: the controller presents an
//   "Unsupported" alert, stores off again and reloads the row.
//
// Messages, in addition to PSListController's:
//
//   -applyModificationsToSpecifiers:(NSMutableArray*)rows
//       Keeps an immutable copy of the full list in the instance variable `_allSpecifiers`
//       (replacing the previous one; every run is measured in it), then hides, in place, the
//       rows of owners that are off. Whatever builds a list sends this before showing it.
//   -removeDisabledGroups:(NSMutableArray*)rows
//       Removes in place the rows that off owners hide. On the full list that is every row in the
//       run of an off owner at any depth; on a run, the rows to show when its owner is on.
//   -setPreferenceValue:(id)value specifier:(PSSpecifier*)row
//       Stores through PSListController first; then, for a switch row, applies the version gate
//       and shows or hides the row's run.
//
// Runs that the row list gets wrong are clipped to the list: a count past the end of the list
// stops at its end; a negative count, a count that is not a number, or an owner missing from
// `_allSpecifiers` (including before the first applyModificationsToSpecifiers:) owns no rows.
//
// The C++ class below only names the runtime class for C++ callers; subclasses are made in the
// runtime (objc_allocateClassPair with runtimeClass() as superclass), as a settings bundle's
// controllers are.
#pragma once

#include <Foundation/Foundation.h>

class __attribute__((visibility("default"))) ZELPreferenceController {
 public:
  static Class runtimeClass();  // the registered class
};
