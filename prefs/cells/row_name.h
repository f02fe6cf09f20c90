// The name a cell's diagnostics give its row: the specifier's label, or else its "key", or else
// its "id" property (the first that is text and not empty), as the settings host names rows;
// `unnamed` when there is none. Found through messages only, as on the device.
#pragma once

#include <Foundation/Foundation.h>

namespace cells {

inline id rowName(id specifier, id unnamed) {
  auto named = [](id value) {
    return value != nil && send<BOOL>(value, "isKindOfClass:", objc_getClass("NSString")) &&
           send<NSUInteger>(value, "length") > 0;
  };
  if (specifier == nil) return unnamed;
  id label = send(specifier, "name");
  if (named(label)) return label;
  id properties = send(specifier, "properties");
  for (id key : {NSSTR("key"), NSSTR("id")}) {
    id value = send(properties, "objectForKey:", key);
    if (named(value)) return value;
  }
  return unnamed;
}

}  // namespace cells
