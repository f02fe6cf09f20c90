#include "properties.h"

#include <Foundation/ObjectState.h>

namespace preferences::internal {

bool isString(id object) {
  return ns::stringText(object) != nullptr;
}

id newProperties(id from) {
  static const Class mutableDictionary = ns::classNamed("NSMutableDictionary");
  static const SEL withDictionary = sel("dictionaryWithDictionary:");
  if (from == nil || !ns::isKindOf(from, "NSDictionary")) return ns::retain(ns::dictionary());
  return ns::retain(msgSend(mutableDictionary, withDictionary, from));
}

id propertyNamed(id dictionary, std::string_view key) {
  return ns::valueFor(dictionary, key);
}

}  // namespace preferences::internal
