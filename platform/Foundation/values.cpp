// The C++ helpers of the Foundation stand-in.
#include <Foundation/ObjectState.h>

#include "strings.h"

namespace ns {

id string(std::string_view utf8Text) {
  return autorelease(newString(Nil, utf8Text));
}

id constantString(std::string_view utf8Text) {
  classNamed("NSString");
  return makeImmortal(newString(Nil, utf8Text));
}

std::string utf8(id object) {
  if (object == nil) return "";
  static const SEL utf8String = sel("UTF8String");
  const char* text = msgSend<const char*>(object, utf8String);
  return text != nullptr ? text : "";
}

std::string describe(id object) {
  if (object == nil) return "(null)";
  return utf8(msgSend(object, sel("description")));
}

nlohmann::ordered_json toJson(id value) {
  using json = nlohmann::ordered_json;
  if (value == nil) return json();
  if (isKindOf(value, "NSString")) return utf8(value);
  if (isKindOf(value, "NSNumber")) {
    if (isBooleanNumber(value)) return msgSend<BOOL>(value, sel("boolValue")) != NO;
    if (isRealNumber(value)) return msgSend<double>(value, sel("doubleValue"));
    return msgSend<NSInteger>(value, sel("integerValue"));
  }
  if (isKindOf(value, "NSArray")) {
    json items = json::array();
    for (id item : elements(value)) items.push_back(toJson(item));
    return items;
  }
  if (isKindOf(value, "NSDictionary")) {
    json object = json::object();
    for (auto& [key, item] : dictionaryEntries(value)) object[describe(key)] = toJson(item);
    return object;
  }
  if (isKindOf(value, "NSData")) return json{{"bytes", bytes(value).size()}};
  return journalName(value);
}

}  // namespace ns
