// Strings of any bytes where the product takes them as URLs and versions: +[NSURL URLWithString:]
// and what the URL answers, file URLs, -[NSString compare:options:] with NSNumericSearch, and
// ZELDeviceUtils' version questions with the running version taken from the input too.
//
// The input is up to three strings separated by newlines. Checked: the numeric order is
// antisymmetric, and the four version questions agree with each other.
#include <Foundation/Foundation.h>
#include <device/device.h>
#include <pkprefs3/ZELDeviceUtils.h>

#include <cstdio>
#include <cstdlib>

#include "fuzz_device.h"

namespace {

void require(bool condition, const char* what, const std::string& a, const std::string& b) {
  if (condition) return;
  std::fprintf(stderr, "%s: '%s' and '%s'\n", what, a.c_str(), b.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ns::AutoreleasePool pool;
  std::string input = fuzzing::bytesOf(data, size);
  std::string parts[3];
  for (size_t i = 0, start = 0; i < 3 && start <= input.size(); ++i) {
    size_t end = i < 2 ? input.find('\n', start) : std::string::npos;
    parts[i] = input.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? input.size() + 1 : end + 1;
  }
  const std::string& a = parts[0];
  const std::string& b = parts[1];

  for (const std::string& text : {a, parts[2]}) {
    id url = msgSend(cls("NSURL"), sel("URLWithString:"), ns::string(text));
    if (url != nil) {
      ns::utf8(msgSend(url, sel("absoluteString")));
      ns::utf8(msgSend(url, sel("path")));
      ns::utf8(msgSend(url, sel("scheme")));
    }
    id file = msgSend(cls("NSURL"), sel("fileURLWithPath:"), ns::string(text));
    ns::utf8(msgSend(file, sel("path")));
  }

  id left = ns::string(a);
  id right = ns::string(b);
  auto forward = msgSend<NSComparisonResult>(left, sel("compare:options:"), right, NSNumericSearch);
  auto backward =
      msgSend<NSComparisonResult>(right, sel("compare:options:"), left, NSNumericSearch);
  require(forward == -backward, "the numeric order is not antisymmetric", a, b);

  device::setSystemVersion(a);
  id utils = asId(ZELDeviceUtils::runtimeClass());
  BOOL ge = msgSend<BOOL>(utils, sel("isSystemVersionGreaterThanOrEqualTo:"), right);
  BOOL le = msgSend<BOOL>(utils, sel("isSystemVersionLessThanOrEqualTo:"), right);
  BOOL gt = msgSend<BOOL>(utils, sel("isSystemVersionGreaterThan:"), right);
  BOOL lt = msgSend<BOOL>(utils, sel("isSystemVersionLessThan:"), right);
  require(ge == !lt && le == !gt && (gt ? !le : true) && (ge || le),
          "the version questions disagree", a, b);
  return 0;
}
