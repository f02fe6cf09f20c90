// HBPreferences, the settings store of the Cephei framework, as tweaks use it.
//
// Mirrors: -[HBPreferences initWithIdentifier:] and -objectForKey:, over the file
// /var/mobile/Library/Preferences/<identifier>.plist (binary on the device; XML is read the
// same way), mapped under the device root.
//
// - initWithIdentifier: with nil or an empty identifier gives no store (nil; the allocated
//   object is released). Otherwise the store reads the file once, now.
// - objectForKey: answers the stored value with its plist type (NSString, NSNumber, NSData,
//   NSArray, NSDictionary), owned by the store: retain it to keep it past the store. A key that
//   is not stored answers nil.
// - A file that is missing, empty, truncated, malformed, or whose root is not a dictionary
//   reads as a store with no keys. The store never writes the file.
//
// When a store is released, the journal records "settings-read" {identifier, keys, file}: the
// keys it was asked for, in order, and what it found: "read", "missing" (no file at all) or
// "unreadable" (a file that read as no keys).
//
// Simplified: no registered defaults and no change observers (the product uses neither).
#pragma once

#include <Foundation/Foundation.h>
