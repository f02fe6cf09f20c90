// NSString: an immutable string of Unicode text, kept here as UTF-8.
#include <Foundation/ObjectState.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "internal.h"
#include "strings.h"

namespace ns {
namespace {

struct StringState : ObjectState {
  explicit StringState(std::string text) : utf8(std::move(text)) {}
  std::string utf8;
  // internal::textHash of the text, worked out the first time the string is a dictionary key;
  // 0 until then.
  mutable std::atomic<size_t> keyHash{0};
};

const std::string& text(id self) {
  static const std::string empty;
  StringState* state = stateOf<StringState>(self);
  return state != nullptr ? state->utf8 : empty;
}

Class stringClass() {
  static Class cls = objc_getClass("NSString");
  return cls;
}

// --- formatting --------------------------------------------------------------------------

std::string formatWithList(const std::string& format, va_list args) {
  std::string out;
  size_t i = 0;
  while (i < format.size()) {
    char c = format[i];
    if (c != '%') {
      out += c;
      ++i;
      continue;
    }
    // %[flags][width][.precision][length]conversion
    size_t start = i++;
    while (i < format.size() && std::strchr("-+ #0'", format[i])) ++i;
    while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i]))) ++i;
    if (i < format.size() && format[i] == '.') {
      ++i;
      while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i]))) ++i;
    }
    std::string length;
    while (i < format.size() && std::strchr("hlqLzjt", format[i])) length += format[i++];
    if (i >= format.size()) {
      out += format.substr(start);
      break;
    }
    char conversion = format[i++];
    std::string directive = format.substr(start, i - start);
    char buffer[512];
    auto put = [&](auto value) {
      std::string cDirective = directive;
      if (length == "q") cDirective.replace(cDirective.size() - 2, 1, "ll");
      std::snprintf(buffer, sizeof buffer, cDirective.c_str(), value);
      out += buffer;
    };
    bool wide = length == "l" || length == "ll" || length == "q" || length == "z" ||
                length == "j" || length == "t";
    switch (conversion) {
      case '%':
        out += '%';
        break;
      case '@':
        out += describe(va_arg(args, id));
        break;
      case 'd':
      case 'i':
      case 'c':
        if (wide) {
          put(va_arg(args, long long));
        } else {
          put(va_arg(args, int));
        }
        break;
      case 'u':
      case 'x':
      case 'X':
      case 'o':
        if (wide) {
          put(va_arg(args, unsigned long long));
        } else {
          put(va_arg(args, unsigned int));
        }
        break;
      case 'f':
      case 'F':
      case 'e':
      case 'E':
      case 'g':
      case 'G':
      case 'a':
      case 'A':
        put(va_arg(args, double));
        break;
      case 's': {
        const char* s = va_arg(args, const char*);
        out += s != nullptr ? s : "(null)";
        break;
      }
      case 'p':
        put(va_arg(args, void*));
        break;
      default:
        out += directive;  // not a conversion this platform knows: kept as written
        break;
    }
  }
  return out;
}

// --- class methods -----------------------------------------------------------------------

id classString(id self, SEL) {
  return autorelease(newString(reinterpret_cast<Class>(self), ""));
}
id classWithUTF8(id self, SEL, const char* bytes) {
  if (bytes == nullptr) return nil;
  return autorelease(newString(reinterpret_cast<Class>(self), bytes));
}
id classWithCString(id self, SEL, const char* bytes, NSUInteger) {
  return classWithUTF8(self, nullptr, bytes);
}
id classWithString(id self, SEL, id other) {
  if (other == nil) return nil;
  return autorelease(newString(reinterpret_cast<Class>(self), utf8(other)));
}
id classWithFormat(id self, SEL, id format, ...) {
  va_list args;
  va_start(args, format);
  std::string formatted = formatWithList(utf8(format), args);
  va_end(args);
  return autorelease(newString(reinterpret_cast<Class>(self), formatted));
}

// --- instance methods --------------------------------------------------------------------

id initWithUTF8(id self, SEL, const char* bytes) {
  if (bytes == nullptr) {
    release(self);
    return nil;
  }
  setObjectState(self, std::make_unique<StringState>(bytes));
  return self;
}
id initWithString(id self, SEL, id other) {
  setObjectState(self, std::make_unique<StringState>(utf8(other)));
  return self;
}
id initWithFormat(id self, SEL, id format, ...) {
  va_list args;
  va_start(args, format);
  std::string formatted = formatWithList(utf8(format), args);
  va_end(args);
  setObjectState(self, std::make_unique<StringState>(std::move(formatted)));
  return self;
}
const char* utf8String(id self, SEL) {
  return text(self).c_str();
}
NSUInteger length(id self, SEL) {
  return utf16(text(self)).size();
}
BOOL boolValue(id self, SEL) {
  return stringBoolValue(text(self)) ? YES : NO;
}
int intValue(id self, SEL) {
  return static_cast<int>(stringIntegerValue(text(self), INT_MIN, INT_MAX));
}
NSInteger integerValue(id self, SEL) {
  return stringIntegerValue(text(self), INT64_MIN, INT64_MAX);
}
double doubleValue(id self, SEL) {
  return stringDoubleValue(text(self));
}
float floatValue(id self, SEL) {
  return static_cast<float>(stringDoubleValue(text(self)));
}
BOOL isEqualToString(id self, SEL, id other) {
  if (other == nil) return NO;
  const std::string* theirs = stringText(other);
  return (theirs != nullptr ? text(self) == *theirs : text(self) == utf8(other)) ? YES : NO;
}
BOOL isEqual(id self, SEL, id other) {
  if (self == other) return YES;
  const std::string* theirs = stringText(other);
  return theirs != nullptr && text(self) == *theirs ? YES : NO;
}
NSUInteger hash(id self, SEL) {
  return std::hash<std::string>{}(text(self));
}
NSComparisonResult compareOptions(id self, SEL, id other, NSUInteger options) {
  // The whole text of the other string, U+0000 and all, not its UTF8String.
  const std::string* theirs = stringText(other);
  return compareStrings(text(self), theirs != nullptr ? *theirs : utf8(other), options);
}
NSComparisonResult compare(id self, SEL, id other) {
  return compareOptions(self, nullptr, other, 0);
}
id description(id self, SEL) {
  return self;
}
id copy(id self, SEL) {
  return retain(self);
}
BOOL hasPrefix(id self, SEL, id prefix) {
  return text(self).starts_with(utf8(prefix)) ? YES : NO;
}
BOOL hasSuffix(id self, SEL, id suffix) {
  return text(self).ends_with(utf8(suffix)) ? YES : NO;
}
// Simplified: only ASCII letters change case; other characters stay as they are.
id lowercase(id self, SEL) {
  std::string lower = text(self);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return string(lower);
}
id byAppending(id self, SEL, id other) {
  if (other == nil) {
    raise("NSInvalidArgumentException", "*** -[NSString stringByAppendingString:]: nil argument");
  }
  return string(text(self) + utf8(other));
}
id lastPathComponent(id self, SEL) {
  std::string path = text(self);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  size_t slash = path.rfind('/');
  return string(slash == std::string::npos || path == "/" ? path : path.substr(slash + 1));
}
// "/a/b/c" gives "/a/b", "/a" gives "/", "a" gives "", "/" stays "/" (trailing slashes go first).
id byDeletingLastPathComponent(id self, SEL) {
  std::string path = text(self);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return string("");
  return string(slash == 0 ? "/" : path.substr(0, slash));
}
id pathExtension(id self, SEL) {
  std::string last = utf8(lastPathComponent(self, nullptr));
  size_t dot = last.rfind('.');
  return string(dot == std::string::npos || dot == 0 ? "" : last.substr(dot + 1));
}
// The path without its last component's extension: "a/b.caf" is "a/b"; a name that only begins
// with a dot (".hidden") has none.
id byDeletingPathExtension(id self, SEL) {
  std::string path = text(self);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  size_t slash = path.rfind('/');
  size_t start = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot <= start) return string(path);
  return string(path.substr(0, dot));
}
id byAppendingPathComponent(id self, SEL, id component) {
  std::string path = text(self);
  std::string part = utf8(component);
  if (path.empty()) return string(part);
  if (path.back() != '/') path += '/';
  while (!part.empty() && part.front() == '/') part.erase(0, 1);
  return string(path + part);
}

}  // namespace

const std::string* stringText(id object) {
  StringState* state = stateOf<StringState>(object);
  return state != nullptr ? &state->utf8 : nullptr;
}

// FNV-1a, finished with a multiply so that the low bits an index takes are mixed: keys are
// short, and this costs a few instructions a byte.
size_t internal::textHash(std::string_view text) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : text) hash = (hash ^ c) * 0x100000001b3ull;
  return static_cast<size_t>((hash ^ (hash >> 32)) * 0x9E3779B97F4A7C15ull);
}

const std::string* internal::keyText(id object, size_t& hash) {
  StringState* state = stateOf<StringState>(object);
  if (state == nullptr) return nullptr;
  hash = state->keyHash.load(std::memory_order_relaxed);
  if (hash == 0) {
    hash = textHash(state->utf8);
    state->keyHash.store(hash, std::memory_order_relaxed);
  }
  return &state->utf8;
}

id newString(Class cls, std::string_view utf8Text) {
  return newObjectWith<StringState>(cls != Nil ? cls : stringClass(), std::string(utf8Text));
}

std::string formatString(const std::string& format, va_list args) {
  return formatWithList(format, args);
}

void internal::registerStringClasses() {
  ClassBuilder("NSString", rootClass())
      .classMethod("string", classString)
      .classMethod("stringWithUTF8String:", classWithUTF8)
      .classMethod("stringWithCString:encoding:", classWithCString)
      .classMethod("stringWithString:", classWithString)
      .classMethod("stringWithFormat:", classWithFormat)
      .method("initWithUTF8String:", initWithUTF8)
      .method("initWithString:", initWithString)
      .method("initWithFormat:", initWithFormat)
      .method("UTF8String", utf8String)
      .method("length", length)
      .method("boolValue", boolValue)
      .method("intValue", intValue)
      .method("integerValue", integerValue)
      .method("longLongValue", integerValue)
      .method("doubleValue", doubleValue)
      .method("floatValue", floatValue)
      .method("isEqualToString:", isEqualToString)
      .method("isEqual:", isEqual)
      .method("hash", hash)
      .method("compare:", compare)
      .method("compare:options:", compareOptions)
      .method("description", description)
      .method("copy", copy)
      .method("hasPrefix:", hasPrefix)
      .method("hasSuffix:", hasSuffix)
      .method("lowercaseString", lowercase)
      .method("stringByAppendingString:", byAppending)
      .method("stringByAppendingPathComponent:", byAppendingPathComponent)
      .method("lastPathComponent", lastPathComponent)
      .method("stringByDeletingLastPathComponent", byDeletingLastPathComponent)
      .method("stringByDeletingPathExtension", byDeletingPathExtension)
      .method("pathExtension", pathExtension)
      .register_();
}

}  // namespace ns
