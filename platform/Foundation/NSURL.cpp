// NSURL: file URLs made from paths, and URLs made from strings.
#include <Foundation/ObjectState.h>

#include "internal.h"

namespace ns {
namespace {

struct URLState : ObjectState {
  std::string text;  // the whole URL as given or built
  std::string path;  // for file URLs: the path exactly as given
  bool file = false;
};

id makeFileURL(Class cls, id path) {
  if (path == nil) return nil;
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
id classURLWithString(id self, SEL, id text) {
  if (text == nil) return nil;
  std::string s = utf8(text);
  // Like the platform, a string that holds characters never allowed in a URL makes none.
  for (unsigned char c : s) {
    if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' ||
        c == '`' || c == '{' || c == '|' || c == '}') {
      return nil;
    }
  }
  auto state = std::make_unique<URLState>();
  state->text = s;
  state->file = s.starts_with("file://");
  if (state->file) state->path = s.substr(7);
  return autorelease(newObject(reinterpret_cast<Class>(self), std::move(state)));
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
