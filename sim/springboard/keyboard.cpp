#include "keyboard.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace springboard {
namespace {

// The base letter of U+00C0 to U+017F ('-': not a letter of the keyboard).
constexpr std::string_view kLatin1 =
    "aaaaaaaceeeeiiiidnooooo-ouuuuy-saaaaaaaceeeeiiiidnooooo-ouuuuy-y";
constexpr std::string_view kLatinExtendedA =
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiiiiijjkkkllllllllllnnnnnnnnn"
    "oooooooorrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";
static_assert(kLatin1.size() == 0x100 - 0xC0 && kLatinExtendedA.size() == 0x180 - 0x100);

CGPoint letterKey(char lower) {
  static const char* rows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
  for (int row = 0; row < 3; ++row) {
    if (const char* key = std::strchr(rows[row], lower)) {
      double inset = row * 18.75;
      return {inset + 18.75 + 37.5 * static_cast<double>(key - rows[row]), 478.0 + 54.0 * row};
    }
  }
  return {};
}

constexpr CGPoint kSpaceBar = {187.5, 640.0};
constexpr CGPoint kNumbersKey = {46.0, 640.0};  // the "123" key's neighbourhood

// Decodes one UTF-8 character; 0xFFFFFFFF when the bytes are not one.
char32_t decode(const std::string& text, size_t& at) {
  constexpr char32_t kBad = 0xFFFFFFFF;
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  int extra = lead < 0x80           ? 0
              : (lead >> 5) == 0x6  ? 1
              : (lead >> 4) == 0xE  ? 2
              : (lead >> 3) == 0x1E ? 3
                                    : -1;
  if (extra < 0 || at + static_cast<size_t>(extra) >= text.size()) {
    ++at;
    return kBad;
  }
  char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
  for (int i = 1; i <= extra; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) {
      ++at;
      return kBad;
    }
    c = (c << 6) | (byte(at + i) & 0x3F);
  }
  static const char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  at += static_cast<size_t>(extra) + 1;
  if (c < kLeast[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kBad;
  return c;
}

}  // namespace

bool nextKey(const std::string& text, size_t& at, CGPoint& point, std::string& problem) {
  size_t start = at;
  char32_t c = decode(text, at);
  char base = '-';
  if (c < 0x80) {
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    if (c >= 'a' && c <= 'z') {
      point = letterKey(static_cast<char>(c));
      return true;
    }
    if (c == ' ') {
      point = kSpaceBar;
      return true;
    }
    if (c > ' ' && c < 0x7F) {
      point = kNumbersKey;
      return true;
    }
  } else if (c >= 0xC0 && c < 0x100) {
    base = kLatin1[c - 0xC0];
  } else if (c >= 0x100 && c < 0x180) {
    base = kLatinExtendedA[c - 0x100];
  }
  if (base != '-') {
    point = letterKey(base);
    return true;
  }
  if (c == 0xFFFFFFFF) {
    problem = "the text is not UTF-8 (byte " + std::to_string(start + 1) + ")";
    return false;
  }
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
  problem = "'" + text.substr(start, at - start) + "' (" + code +
            ") has no key on the keyboard: letters, accented letters, digits, ASCII punctuation "
            "and spaces can be typed";
  return false;
}

}  // namespace springboard
