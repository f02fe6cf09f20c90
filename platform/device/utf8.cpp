#include "device/utf8.h"

#include <cstdint>

namespace utf8 {
namespace {

struct Sequence {
  size_t length;  // bytes taken: the whole character, or the ill-formed maximal subpart
  bool wellFormed;
};

// The sequence starting at `at`, by the table of well-formed byte sequences of the Unicode
// standard: the lead byte sets the length and the range of the second byte.
Sequence sequenceAt(std::string_view text, size_t at) {
  auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  uint8_t lead = byte(at);
  if (lead < 0x80) return {1, true};
  size_t length = 0;
  uint8_t low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {1, false};
  }
  for (size_t k = 1; k < length; ++k) {
    if (at + k >= text.size()) return {k, false};
    uint8_t next = byte(at + k);
    bool inRange = k == 1 ? next >= low && next <= high : next >= 0x80 && next <= 0xBF;
    if (!inRange) return {k, false};
  }
  return {length, true};
}

}  // namespace

bool isWellFormed(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    Sequence s = sequenceAt(text, i);
    if (!s.wellFormed) return false;
    i += s.length;
  }
  return true;
}

std::string repaired(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    Sequence s = sequenceAt(text, i);
    if (s.wellFormed) {
      out.append(text.substr(i, s.length));
    } else {
      out += "\xEF\xBF\xBD";
    }
    i += s.length;
  }
  return out;
}

}  // namespace utf8
