// The attributes dictionary of a row (PSSpecifier's `properties`), shared between the files of
// the Preferences stand-in. It is a plain NSMutableDictionary; Foundation finds string keys by
// their text, so reading one attribute costs the same whatever else the row holds.
#pragma once

#include <Foundation/Foundation.h>

#include <string_view>

namespace preferences::internal {

// A new, empty properties dictionary, or one holding the entries of `from` (any NSDictionary);
// owned by the caller.
id newProperties(id from);

// The value under a string key; nil when absent or when `dictionary` is not a dictionary.
id propertyNamed(id dictionary, std::string_view key);

// Whether `object` is an NSString.
bool isString(id object);

}  // namespace preferences::internal
