// The C++ helpers of the Foundation stand-in.
#include <Foundation/NSError.h>
#include <Foundation/ObjectState.h>

#include <algorithm>

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

std::string imageFormat(const std::vector<uint8_t>& b) {
  auto starts = [&](std::string_view signature, size_t at = 0) {
    return b.size() >= at + signature.size() &&
           std::equal(signature.begin(), signature.end(), b.begin() + static_cast<long>(at),
                      [](char s, uint8_t c) { return static_cast<uint8_t>(s) == c; });
  };
  if (starts("\x89PNG\r\n\x1a\n")) return "png";
  if (starts("\xff\xd8\xff")) return "jpeg";
  if (starts("GIF87a") || starts("GIF89a")) return "gif";
  if (starts("ftyp", 4)) {
    for (std::string_view brand : {"heic", "heix", "heim", "heis", "mif1"}) {
      if (starts(brand, 8)) return "heic";
    }
  }
  return "other";
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
  if (isKindOf(value, "NSData")) {
    std::vector<uint8_t> content = bytes(value);
    return json{{"bytes", content.size()}, {"format", imageFormat(content)}};
  }
  return journalName(value);
}

}  // namespace ns
