// Old-style (OpenStep) property lists, the text form that CFPropertyList still reads and that
// tweak filter files are written in: { Filter = { Bundles = ( "com.apple.springboard" ); }; }
#include <Foundation/ObjectState.h>

#include <cctype>
#include <cstring>

#include "strings.h"

namespace ns {
namespace {

constexpr int kDeepest = 256;  // nesting beyond this is not a property list anyone wrote

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  id document() {
    id root = value(0);
    skipSpaceAndComments();
    return failed_ || pos_ != text_.size() ? nil : root;
  }

 private:
  bool atEnd() const { return pos_ >= text_.size(); }
  char peek() const { return atEnd() ? '\0' : text_[pos_]; }

  void skipSpaceAndComments() {
    while (!atEnd()) {
      if (std::isspace(static_cast<unsigned char>(peek()))) {
        ++pos_;
      } else if (text_.substr(pos_, 2) == "//") {
        size_t end = text_.find('\n', pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end + 1;
      } else if (text_.substr(pos_, 2) == "/*") {
        size_t end = text_.find("*/", pos_ + 2);
        if (end == std::string_view::npos) return fail();
        pos_ = end + 2;
      } else {
        return;
      }
    }
  }

  void fail() {
    failed_ = true;
    pos_ = text_.size();
  }

  bool expect(char c) {
    skipSpaceAndComments();
    if (peek() != c) {
      fail();
      return false;
    }
    ++pos_;
    return true;
  }

  static bool isBareChar(char c) {
    // (strchr finds the terminator too: a NUL byte is no word character.)
    return std::isalnum(static_cast<unsigned char>(c)) ||
           (c != '\0' && std::strchr("_$+/:.-", c) != nullptr);
  }

  id value(int depth) {
    if (depth > kDeepest) {
      fail();
      return nil;
    }
    skipSpaceAndComments();
    switch (peek()) {
      case '{':
        return dictionaryValue(depth);
      case '(':
        return arrayValue(depth);
      case '"':
      case '\'':
        return quoted();
      case '<':
        return dataValue();
      default:
        return bare();
    }
  }

  id dictionaryValue(int depth) {
    ++pos_;
    id dict = ns::dictionary();
    for (;;) {
      skipSpaceAndComments();
      if (peek() == '}') {
        ++pos_;
        return dict;
      }
      id key = value(depth + 1);
      if (failed_ || !isKindOf(key, "NSString") || !expect('=')) return fail(), nil;
      id item = value(depth + 1);
      if (failed_ || !expect(';')) return nil;
      msgSend<void>(dict, sel("setObject:forKey:"), item, key);
    }
  }

  id arrayValue(int depth) {
    ++pos_;
    std::vector<id> items;
    for (;;) {
      skipSpaceAndComments();
      if (peek() == ')') {
        ++pos_;
        return array(items);
      }
      items.push_back(value(depth + 1));
      if (failed_) return nil;
      skipSpaceAndComments();
      if (peek() == ',') {
        ++pos_;
      } else if (peek() != ')') {
        return fail(), nil;
      }
    }
  }

  id quoted() {
    char quote = text_[pos_++];
    std::string out;
    while (!atEnd() && peek() != quote) {
      char c = text_[pos_++];
      if (c != '\\') {
        out += c;
        continue;
      }
      if (atEnd()) break;
      char e = text_[pos_++];
      switch (e) {
        case 'n':
          out += '\n';
          break;
        case 't':
          out += '\t';
          break;
        case 'r':
          out += '\r';
          break;
        case 'a':
          out += '\a';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'v':
          out += '\v';
          break;
        case 'U': {
          uint32_t cp = 0;
          for (int k = 0; k < 4 && std::isxdigit(static_cast<unsigned char>(peek())); ++k) {
            cp = cp * 16 +
                 static_cast<uint32_t>(std::stoi(std::string(1, text_[pos_++]), nullptr, 16));
          }
          appendUtf8(out, cp);
          break;
        }
        default:
          if (e >= '0' && e <= '7') {
            int v = e - '0';
            for (int k = 0; k < 2 && peek() >= '0' && peek() <= '7'; ++k)
              v = v * 8 + (text_[pos_++] - '0');
            out += static_cast<char>(v);
          } else {
            out += e;
          }
      }
    }
    if (atEnd()) return fail(), nil;
    ++pos_;
    return string(out.substr(0, out.find('\0')));  // up to U+0000, as the other forms read
  }

  id bare() {
    size_t start = pos_;
    while (!atEnd() && isBareChar(peek())) ++pos_;
    if (pos_ == start) return fail(), nil;
    return string(text_.substr(start, pos_ - start));
  }

  id dataValue() {
    ++pos_;
    std::vector<uint8_t> bytes;
    int half = -1;
    for (;;) {
      skipSpaceAndComments();
      char c = peek();
      if (c == '>') break;
      if (!std::isxdigit(static_cast<unsigned char>(c))) return fail(), nil;
      int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::tolower(c) - 'a' + 10);
      ++pos_;
      if (half < 0) {
        half = v;
      } else {
        bytes.push_back(static_cast<uint8_t>(half * 16 + v));
        half = -1;
      }
    }
    ++pos_;
    if (half >= 0) return fail(), nil;
    return data(bytes.data(), bytes.size());
  }

  static void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  std::string_view text_;
  size_t pos_ = 0;
  bool failed_ = false;
};

}  // namespace

id openStepPlistFromText(std::string_view text) {
  return Parser(text).document();
}

}  // namespace ns
