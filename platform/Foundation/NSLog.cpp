// NSLog: the product's diagnostics, recorded in the journal.
#include <Foundation/Foundation.h>
#include <device/journal.h>
#include <dlfcn.h>

#include <cstdarg>
#include <string>

#include "strings.h"

namespace {

// The file name of the loaded image holding `address` ("libpkprefs3.so"); "" when none does.
std::string imageHolding(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return "";
  std::string path = info.dli_fname;
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

extern "C" void NSLogFromImage(const void* image, id format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = ns::formatString(ns::utf8(format), args);
  va_end(args);
  journal::record("log", {{"text", text}, {"library", imageHolding(image)}});
}
