#include "properties.h"

#include <Foundation/ObjectState.h>

namespace preferences::internal {

bool isString(id object) {
  return ns::stringText(object) != nullptr;
}

id newProperties(id from) {
  static const SEL setObjectForKey = sel("setObject:forKey:");
  id properties = ns::retain(ns::dictionary());
  if (from != nil && ns::isKindOf(from, "NSDictionary")) {
    for (auto& [key, value] : ns::dictionaryEntries(from)) {
      msgSend<void>(properties, setObjectForKey, value, key);
    }
  }
  return properties;
}

id propertyNamed(id dictionary, std::string_view key) {
  return ns::valueFor(dictionary, key);
}

}  // namespace preferences::internal
