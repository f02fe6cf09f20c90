// ns::toJson: how the journal writes a value.
#include <Foundation/ImageFormat.h>
#include <Foundation/ObjectState.h>

#include "strings.h"

namespace ns {

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
  if (isKindOf(value, "NSData")) {
    std::vector<uint8_t> content = bytes(value);
    return json{{"bytes", content.size()}, {"format", imageFormat(content)}};
  }
  return journalName(value);
}

}  // namespace ns
