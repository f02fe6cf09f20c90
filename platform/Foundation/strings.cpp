#include "strings.h"

#include <Foundation/ObjectState.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace ns {
namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool isDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

size_t skipSpace(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && isSpace(text[i])) ++i;
  return i;
}

char16_t foldCase(char16_t c) {
  return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c;
}

}  // namespace

bool stringBoolValue(std::string_view text) {
  size_t i = skipSpace(text);
  if (i < text.size() && (text[i] == 'Y' || text[i] == 'y' || text[i] == 'T' || text[i] == 't')) {
    return true;
  }
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  while (i < text.size() && text[i] == '0') ++i;
  return i < text.size() && text[i] >= '1' && text[i] <= '9';
}

int64_t stringIntegerValue(std::string_view text, int64_t min, int64_t max) {
  size_t i = skipSpace(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate toward the sign's limit, clamping as soon as it is passed.
  uint64_t limit = negative ? static_cast<uint64_t>(-(min + 1)) + 1 : static_cast<uint64_t>(max);
  uint64_t value = 0;
  bool clamped = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    if (clamped || value > (limit - digit) / 10) {
      clamped = true;
      continue;
    }
    value = value * 10 + digit;
  }
  if (clamped) return negative ? min : max;
  return negative ? static_cast<int64_t>(0 - value) : static_cast<int64_t>(value);
}

double stringDoubleValue(std::string_view text) {
  size_t start = skipSpace(text);
  size_t i = start;
  auto digits = [&] {
    size_t from = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    return i - from;
  };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t whole = digits();
  size_t fraction = 0;
  if (i < text.size() && text[i] == '.') {
    ++i;
    fraction = digits();
  }
  if (whole + fraction == 0) return 0.0;
  size_t mantissaEnd = i;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (digits() == 0) i = mantissaEnd;  // "1e" is the number 1
  }
  std::string number(text.substr(start, i - start));
  errno = 0;
  return std::strtod(number.c_str(), nullptr);  // +-HUGE_VAL on overflow
}

std::u16string utf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp = 0xFFFD;
    size_t n = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c >> 5) == 0x6) {
      n = 2;
    } else if ((c >> 4) == 0xE) {
      n = 3;
    } else if ((c >> 3) == 0x1E) {
      n = 4;
    }
    if (n > 1) {
      if (i + n > s.size()) {
        n = 1;
      } else {
        cp = c & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) {
          unsigned char cc = static_cast<unsigned char>(s[i + k]);
          if ((cc >> 6) != 0x2) {
            cp = 0xFFFD;
            n = k;
            break;
          }
          cp = (cp << 6) | (cc & 0x3F);
        }
      }
    }
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp > 0x10FFFF ? 0xFFFD : cp);
    }
    i += n;
  }
  return out;
}

NSComparisonResult compareStrings(std::string_view left, std::string_view right,
                                  NSUInteger options) {
  std::u16string a = utf16(left);
  std::u16string b = utf16(right);
  bool numeric = (options & NSNumericSearch) != 0;
  bool caseless = (options & NSCaseInsensitiveSearch) != 0;
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (numeric && isDigit(a[i]) && isDigit(b[j])) {
      // Whole digit runs compare by value: leading zeros vanish, then the longer run is the
      // larger number, then the digits decide.
      size_t ia = i;
      size_t jb = j;
      while (ia < a.size() && isDigit(a[ia])) ++ia;
      while (jb < b.size() && isDigit(b[jb])) ++jb;
      size_t sa = i;
      size_t sb = j;
      while (sa + 1 < ia && a[sa] == u'0') ++sa;
      while (sb + 1 < jb && b[sb] == u'0') ++sb;
      if (ia - sa != jb - sb) return ia - sa < jb - sb ? NSOrderedAscending : NSOrderedDescending;
      for (; sa < ia; ++sa, ++sb) {
        if (a[sa] != b[sb]) return a[sa] < b[sb] ? NSOrderedAscending : NSOrderedDescending;
      }
      i = ia;
      j = jb;
      continue;
    }
    char16_t ca = caseless ? foldCase(a[i]) : a[i];
    char16_t cb = caseless ? foldCase(b[j]) : b[j];
    if (ca != cb) return ca < cb ? NSOrderedAscending : NSOrderedDescending;
    ++i;
    ++j;
  }
  if (i < a.size()) return NSOrderedDescending;
  if (j < b.size()) return NSOrderedAscending;
  return NSOrderedSame;
}

// --- the C++ helpers of strings ----------------------------------------------------------

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

}  // namespace ns
