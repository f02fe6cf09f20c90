// The attributes dictionary of a row (PSSpecifier's `properties`), shared between the files of
// the Preferences stand-in.
//
// It is an NSMutableDictionary, and callers use it as one. It also keeps its string keys in a
// hash table, as the platform's dictionaries are hashed, so that reading one attribute of a row
// costs the same whatever the row's other attributes are; Foundation's stand-in dictionary
// compares the wanted key with every key in turn. Every mutation drops the table, which is
// rebuilt at the next read. If Foundation's NSMutableDictionary ever answers a mutator that this
// class does not know, the table is never used: reads then go to Foundation unchanged.
#pragma once

#include <Foundation/Foundation.h>

#include <string_view>

namespace preferences::internal {

// A new, empty properties dictionary, or one holding the entries of `from` (any NSDictionary);
// owned by the caller.
id newProperties(id from);

// The value under a string key, without sending a message for each entry; nil when absent.
// Works on any NSDictionary (the fast path only on properties dictionaries).
id propertyNamed(id dictionary, std::string_view key);

// Whether `object` is an NSString, without looking the class up by name.
bool isString(id object);

}  // namespace preferences::internal
