// NSCharacterSet (the URL query set) and percent-encoding of strings.
#include <Foundation/ObjectState.h>

#include <bitset>
#include <string_view>

#include "internal.h"

namespace ns {
namespace {

// The ASCII characters a set holds; a character outside ASCII is in none of the sets here.
struct CharacterSetState : ObjectState {
  std::bitset<128> members;
};

CharacterSetState* characterSet(id object) {
  return stateOf<CharacterSetState>(object);
}

id makeSet(Class cls, std::string_view ranges) {
  auto state = std::make_unique<CharacterSetState>();
  // `ranges` lists single characters and "a-z" spans.
  for (size_t i = 0; i < ranges.size(); ++i) {
    unsigned char first = static_cast<unsigned char>(ranges[i]);
    unsigned char last = first;
    if (i + 2 < ranges.size() && ranges[i + 1] == '-') {
      last = static_cast<unsigned char>(ranges[i + 2]);
      i += 2;
    }
    for (unsigned c = first; c <= last; ++c) state->members.set(c);
  }
  return newObject(cls, std::move(state));
}

id classURLQueryAllowed(id self, SEL) {
  static id shared =
      makeImmortal(makeSet(reinterpret_cast<Class>(self), "!$&'()*+,-./0-9:;=?@A-Z_a-z~"));
  return shared;
}

BOOL characterIsMember(id self, SEL, unsigned int character) {
  CharacterSetState* state = characterSet(self);
  return state != nullptr && character < 128 && state->members.test(character) ? YES : NO;
}

// Every UTF-8 byte outside the set becomes "%" and two upper-case hexadecimal digits; a nil set
// allows nothing.
id byAddingPercentEncoding(id self, SEL, id allowed) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  CharacterSetState* state = characterSet(allowed);
  std::string out;
  for (unsigned char c : utf8(self)) {
    if (state != nullptr && c < 128 && state->members.test(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return string(out);
}

}  // namespace

void internal::registerCharacterSetClass() {
  ClassBuilder("NSCharacterSet", rootClass())
      .classMethod("URLQueryAllowedCharacterSet", classURLQueryAllowed)
      .method("characterIsMember:", characterIsMember)
      .register_();
  Class string = objc_getClass("NSString");
  class_addMethod(string, sel("stringByAddingPercentEncodingWithAllowedCharacters:"),
                  reinterpret_cast<IMP>(byAddingPercentEncoding),
                  typeEncodingOf(byAddingPercentEncoding).c_str());
}

}  // namespace ns
