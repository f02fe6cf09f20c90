// Strings of any bytes where the product takes them as URLs and versions: +[NSURL URLWithString:]
// and what the URL answers, file URLs, -[NSString compare:options:] with NSNumericSearch,
// ZELDeviceUtils' version questions with the running version taken from the input too, and the
// profile cell's address for a user name (percent-encoded into the web address).
//
// The input is up to three strings separated by newlines. Checked: the numeric order is
// antisymmetric, the four version questions agree with each other, and every user name makes a
// valid address that decodes back to the name.
#include <Foundation/Foundation.h>
#include <device/device.h>
#include <pkprefs3/ZELDeviceUtils.h>
#include <pkprefs3/ZELLinkCells.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "fuzz_device.h"

namespace {

void require(bool condition, const char* what, const std::string& a, const std::string& b) {
  if (condition) return;
  std::fprintf(stderr, "%s: '%s' and '%s'\n", what, a.c_str(), b.c_str());
  std::abort();
}

// The text of `encoded` with every "%XY" made back into its byte; false on a stray "%".
bool percentDecode(const std::string& encoded, std::string& decoded) {
  auto digit = [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
           : c >= 'A' && c <= 'F'                      ? c - 'A' + 10
                                                       : -1;
  };
  for (size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] != '%') {
      decoded += encoded[i];
      continue;
    }
    if (i + 2 >= encoded.size()) return false;
    int high = digit(encoded[i + 1]);
    int low = digit(encoded[i + 2]);
    if (high < 0 || low < 0) return false;
    decoded += static_cast<char>(high << 4 | low);
    i += 2;
  }
  return true;
}

// The profile cell's web address for `name`: valid, and holding the name whole.
void checkProfileAddress(const std::string& name) {
  id text = ns::string(name);
  id address = msgSend(cls("ZELTwitterCell"), sel("_urlForUsername:"), text);
  require(address != nil, "no address for the user name", name, "");
  std::string made = ns::utf8(address);
  require(msgSend(cls("NSURL"), sel("URLWithString:"), address) != nil,
          "the address for the user name is no URL", name, made);
  std::string prefix = ProfileWebURLFormat;
  prefix.resize(prefix.find("%@"));
  require(made.compare(0, prefix.size(), prefix) == 0, "the address left its site", name, made);
  std::string decoded;
  require(percentDecode(made.substr(prefix.size()), decoded) && decoded == ns::utf8(text),
          "the address does not hold the user name", name, made);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzing::useTemporaryDevice();
  return 0;
}

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

  checkProfileAddress(parts[2]);

  device::setSystemVersion(a);
  id utils = asId(ZELDeviceUtils::runtimeClass());
  BOOL ge = msgSend<BOOL>(utils, sel("isSystemVersionGreaterThanOrEqualTo:"), right);
  BOOL le = msgSend<BOOL>(utils, sel("isSystemVersionLessThanOrEqualTo:"), right);
  BOOL gt = msgSend<BOOL>(utils, sel("isSystemVersionGreaterThan:"), right);
  BOOL lt = msgSend<BOOL>(utils, sel("isSystemVersionLessThan:"), right);
  require(ge == !lt && le == !gt && (gt ? !le : true) && (ge || le),
          "the version questions disagree", a, b);
  fuzzing::writeJournal();
  return 0;
}
