// NSURL: file URLs made from paths, and URLs made from strings.
#include <Foundation/ObjectState.h>

#include <cctype>

#include "internal.h"

namespace ns {
namespace {

struct URLState : ObjectState {
  std::string text;  // the whole URL as given or built
  std::string path;  // for file URLs: the path exactly as given
  bool file = false;
};

id makeFileURL(Class cls, id path) {
  if (path == nil) {
    raise("NSInvalidArgumentException", "*** -[NSURL initFileURLWithPath:]: nil string parameter");
  }
  auto state = std::make_unique<URLState>();
  state->path = utf8(path);
  state->text = "file://" + state->path;
  state->file = true;
  return newObject(cls, std::move(state));
}

id classFileURL(id self, SEL, id path) {
  return autorelease(makeFileURL(reinterpret_cast<Class>(self), path));
}
id initFileURL(id self, SEL, id path) {
  Class cls = object_getClass(self);
  release(self);
  return makeFileURL(cls, path);
}
// What RFC 3986 allows in a URL: unreserved and reserved characters, and "%" only as the start
// of a "%XX" escape. The platform (before iOS 17) makes no URL from anything else.
bool isValidURLText(const std::string& s) {
  static const std::string kAllowed =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~:/?#[]@!$&'()*+,;=";
  if (s.empty()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%') {
      if (i + 2 >= s.size() || !std::isxdigit(static_cast<unsigned char>(s[i + 1])) ||
          !std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
        return false;
      }
      i += 2;
    } else if (kAllowed.find(s[i]) == std::string::npos) {
      return false;
    }
  }
  return true;
}

id makeURL(Class cls, id text) {
  if (text == nil) return nil;
  std::string s = utf8(text);
  if (!isValidURLText(s)) return nil;
  auto state = std::make_unique<URLState>();
  state->text = s;
  state->file = s.starts_with("file://");
  if (state->file) state->path = s.substr(7);
  return newObject(cls, std::move(state));
}
id classURLWithString(id self, SEL, id text) {
  return autorelease(makeURL(reinterpret_cast<Class>(self), text));
}
id initWithString(id self, SEL, id text) {
  Class cls = object_getClass(self);
  release(self);
  if (text == nil) {
    raise("NSInvalidArgumentException",
          "*** -[NSURL initWithString:relativeToURL:]: nil string parameter");
  }
  return makeURL(cls, text);
}

URLState* url(id self) {
  return stateOf<URLState>(self);
}
id path(id self, SEL) {
  URLState* u = url(self);
  if (u == nullptr) return nil;
  if (u->file) return string(u->path);
  size_t scheme = u->text.find("://");
  if (scheme == std::string::npos) return string("");
  size_t start = u->text.find('/', scheme + 3);
  if (start == std::string::npos) return string("");
  size_t end = u->text.find_first_of("?#", start);
  return string(u->text.substr(start, end == std::string::npos ? end : end - start));
}
id absoluteString(id self, SEL) {
  URLState* u = url(self);
  return u == nullptr ? nil : string(u->text);
}
id scheme(id self, SEL) {
  URLState* u = url(self);
  if (u == nullptr) return nil;
  size_t colon = u->text.find(':');
  return colon == std::string::npos ? nil : string(u->text.substr(0, colon));
}
BOOL isFileURL(id self, SEL) {
  URLState* u = url(self);
  return u != nullptr && u->file ? YES : NO;
}
BOOL isEqual(id self, SEL, id other) {
  URLState* a = url(self);
  URLState* b = url(other);
  return a != nullptr && b != nullptr && a->text == b->text ? YES : NO;
}
id copy(id self, SEL) {
  return retain(self);
}

}  // namespace

void internal::registerURLClass() {
  ClassBuilder("NSURL", rootClass())
      .classMethod("fileURLWithPath:", classFileURL)
      .classMethod("URLWithString:", classURLWithString)
      .method("initFileURLWithPath:", initFileURL)
      .method("initWithString:", initWithString)
      .method("path", path)
      .method("absoluteString", absoluteString)
      .method("description", absoluteString)
      .method("scheme", scheme)
      .method("isFileURL", isFileURL)
      .method("isEqual:", isEqual)
      .method("copy", copy)
      .register_();
}

}  // namespace ns
