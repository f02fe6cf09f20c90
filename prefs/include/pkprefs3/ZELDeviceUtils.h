// ZELDeviceUtils: questions about the running device, for the settings pane.
//
// ZELDeviceUtils is a class of the object runtime, registered when libpkprefs3 loads, with no
// state and eight class methods:
//
//   +getDeviceCode                           the hardware identifier ("iPhone13,4"), an NSString;
//                                            "" when the platform cannot tell
//   +getDeviceModel                          its marketing name, or "Not Found"
//   +getJailbreakName                        "Odysseyra1n", "Taurinera1n", "checkra1n",
//                                            "Odyssey", "Taurine", "unc0ver" or "Unknown"
//   +isSystemVersionGreaterThanOrEqualTo:    BOOL, running iOS version >= the argument
//   +isSystemVersionLessThanOrEqualTo:       BOOL, running version <= the argument
//   +isSystemVersionGreaterThan:             BOOL, running version > the argument
//   +isSystemVersionLessThan:                BOOL, running version < the argument
//   +detectCheckra1n                         BOOL, isUnionMountPresent()
//
// Nothing is cached: every call asks the platform again. +getDeviceModel learns the identifier by
// sending +getDeviceCode to the receiving class, and +getJailbreakName asks the receiving class
// +detectCheckra1n, so a subclass that overrides either changes the answers built on it.
// Versions compare as -[NSString compare:options:] with NSNumericSearch does: digit runs by
// value, so "14.10" is after "14.9". An argument that is not a string (a number read from a
// plist) is compared by its description.
//
// Callers send the messages through the runtime (send<BOOL>(cls("ZELDeviceUtils"),
// "isSystemVersionLessThan:", version)); the static functions below send the same messages for
// C++ callers.
#pragma once

#include <Foundation/Foundation.h>

class __attribute__((visibility("default"))) ZELDeviceUtils {
 public:
  static Class runtimeClass();  // the registered class

  static id getDeviceCode();
  static id getDeviceModel();
  static id getJailbreakName();
  static BOOL isSystemVersionGreaterThanOrEqualTo(id version);
  static BOOL isSystemVersionLessThanOrEqualTo(id version);
  static BOOL isSystemVersionGreaterThan(id version);
  static BOOL isSystemVersionLessThan(id version);
  static BOOL detectCheckra1n();
};

// Whether a union file system is mounted: the mark of a checkra1n-based jailbreak. When the
// platform lists no mounts it writes the line "Unable to get mounts" to standard output and
// answers false.
extern "C" __attribute__((visibility("default"))) bool isUnionMountPresent(void);
