// plinka-sim device [--device-root DIR] [--machine ID] [--system-version V] [--mounts FILE]
//                   [--json] [compare VERSION]
// plinka-sim color dominant IMAGE [--scale S] [--json] | text-for C... [--json] |
//                  random [--json]
//
// Both ask libpkprefs3's utilities through the runtime, exactly as the settings pane does.
#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/Foundation.h>
#include <device/device.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

constexpr const char* kDeviceUsage =
    "usage: plinka-sim device [--device-root DIR] [--machine ID] [--system-version V]\n"
    "                         [--mounts FILE] [--json] [compare VERSION]\n";
constexpr const char* kColorUsage =
    "usage: plinka-sim color dominant IMAGE [--scale S] [--json]\n"
    "       plinka-sim color text-for C... [--json]   (2 to 5 components, each 0 to 1)\n"
    "       plinka-sim color random [--json]\n";

int bad(const char* command, const std::string& message, const char* usage) {
  std::fprintf(stderr, "plinka-sim %s: %s\n%s", command, message.c_str(), usage);
  return 2;
}

void printLine(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
}

// A whole string as a finite number; nothing when it is not one.
std::optional<double> number(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

const char* yesNo(bool value) {
  return value ? "yes" : "no";
}

}  // namespace

int deviceCommand(const Arguments& args) {
  constexpr const char* kName = "device";
  bool json = false;
  std::optional<std::string> compareWith;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string text;
    if (arg == "--json") {
      json = true;
    } else if (arg == "--device-root") {
      if (!value(text)) return bad(kName, "--device-root needs a folder", kDeviceUsage);
      if (!fs::is_directory(text)) {
        return bad(kName, "the device root '" + text + "' is not a folder", kDeviceUsage);
      }
      device::setRoot(text);
    } else if (arg == "--machine") {
      if (!value(text)) return bad(kName, "--machine needs an identifier", kDeviceUsage);
      device::setMachine(text);
    } else if (arg == "--system-version") {
      if (!value(text)) return bad(kName, "--system-version needs a version", kDeviceUsage);
      device::setSystemVersion(text);
    } else if (arg == "--mounts") {
      if (!value(text)) return bad(kName, "--mounts needs a file", kDeviceUsage);
      if (!std::ifstream(text) || fs::is_directory(text)) {
        return bad(kName, "cannot read the mount table '" + text + "'", kDeviceUsage);
      }
      device::setMountTable(text);
    } else if (arg == "compare" && !compareWith) {
      if (!value(text)) return bad(kName, "compare needs a version", kDeviceUsage);
      compareWith = text;
    } else {
      return bad(kName, "unexpected argument '" + arg + "'", kDeviceUsage);
    }
  }

  ns::AutoreleasePool pool;
  id utils = cls("ZELDeviceUtils");
  if (utils == nil) {
    std::fprintf(stderr, "plinka-sim device: ZELDeviceUtils is not registered\n");
    return 1;
  }
  if (compareWith) {
    id version = ns::string(*compareWith);
    bool ge = send<BOOL>(utils, "isSystemVersionGreaterThanOrEqualTo:", version);
    bool le = send<BOOL>(utils, "isSystemVersionLessThanOrEqualTo:", version);
    bool gt = send<BOOL>(utils, "isSystemVersionGreaterThan:", version);
    bool lt = send<BOOL>(utils, "isSystemVersionLessThan:", version);
    if (json) {
      printLine(Json{{"ge", ge}, {"le", le}, {"gt", gt}, {"lt", lt}}.dump());
    } else {
      const std::string& running = device::systemVersion();
      printLine(running + " >= " + *compareWith + ": " + yesNo(ge));
      printLine(running + " <= " + *compareWith + ": " + yesNo(le));
      printLine(running + " > " + *compareWith + ": " + yesNo(gt));
      printLine(running + " < " + *compareWith + ": " + yesNo(lt));
    }
    return 0;
  }
  std::string code = ns::utf8(send(utils, "getDeviceCode"));
  std::string model = ns::utf8(send(utils, "getDeviceModel"));
  std::string jailbreak = ns::utf8(send(utils, "getJailbreakName"));
  bool checkra1n = send<BOOL>(utils, "detectCheckra1n");
  if (json) {
    printLine(
        Json{{"code", code}, {"model", model}, {"jailbreak", jailbreak}, {"checkra1n", checkra1n}}
            .dump());
  } else {
    printLine("device code: " + code);
    printLine("model: " + model);
    printLine("jailbreak: " + jailbreak);
    printLine(std::string("union mount (checkra1n): ") + yesNo(checkra1n));
  }
  return 0;
}

namespace {

// A colour as its four components, read through -CGColor as any client would.
bool components(id color, double out[4]) {
  CGColorRef cg = send<CGColorRef>(color, "CGColor");
  size_t count = CGColorGetNumberOfComponents(cg);
  const CGFloat* c = CGColorGetComponents(cg);
  if (count == 4) {
    for (int i = 0; i < 4; ++i) out[i] = c[i];
  } else if (count == 2) {
    out[0] = out[1] = out[2] = c[0];
    out[3] = c[1];
  } else {
    return false;
  }
  return true;
}

int printColor(id color, bool json) {
  double c[4];
  if (!components(color, c)) {
    std::fprintf(stderr, "plinka-sim color: the answer is not an RGB or grey colour\n");
    return 1;
  }
  if (json) {
    printLine(Json{{"r", c[0]}, {"g", c[1]}, {"b", c[2]}, {"a", c[3]}}.dump());
    return 0;
  }
  auto byte = [](double v) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
  char line[160];
  std::snprintf(line, sizeof line, "red %.6f green %.6f blue %.6f alpha %.6f (#%02X%02X%02X)", c[0],
                c[1], c[2], c[3], byte(c[0]), byte(c[1]), byte(c[2]));
  printLine(line);
  return 0;
}

int dominant(const Arguments& args) {
  std::optional<std::string> image;
  double scale = 1.0;
  bool json = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--json") {
      json = true;
    } else if (args[i] == "--scale") {
      std::optional<double> value = i + 1 < args.size() ? number(args[++i]) : std::nullopt;
      if (!value || *value <= 0)
        return bad("color", "--scale needs a positive number", kColorUsage);
      scale = *value;
    } else if (!image && (args[i].empty() || args[i][0] != '-' || args[i] == "-")) {
      image = args[i];
    } else {
      return bad("color", "unexpected argument '" + args[i] + "'", kColorUsage);
    }
  }
  if (!image) return bad("color", "dominant needs an image file", kColorUsage);
  std::ifstream file(*image, std::ios::binary);
  if (!file || fs::is_directory(*image)) {
    return bad("color", "cannot read the image '" + *image + "'", kColorUsage);
  }
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());

  ns::AutoreleasePool pool;
  id icon =
      send(cls("UIImage"), "imageWithData:scale:", ns::data(bytes.data(), bytes.size()), scale);
  if (icon == nil) {
    return bad("color", "'" + *image + "' is not a PNG, JPEG or GIF image", kColorUsage);
  }
  return printColor(send(cls("ZELColor"), "dominantColorFromIcon:", icon), json);
}

int textFor(const Arguments& args) {
  std::vector<double> values;
  bool json = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--json") {
      json = true;
      continue;
    }
    std::optional<double> value = number(args[i]);
    if (!value) return bad("color", "'" + args[i] + "' is not a number", kColorUsage);
    if (*value < 0 || *value > 1) {
      return bad("color", "component " + args[i] + " is not between 0 and 1", kColorUsage);
    }
    values.push_back(*value);
  }
  if (values.size() < 2 || values.size() > 5) {
    return bad("color", "text-for needs 2 to 5 components", kColorUsage);
  }
  ns::AutoreleasePool pool;
  CGColorRef cg = cg_host::createColorWithComponents(values.data(), values.size());
  id background = send(cls("UIColor"), "colorWithCGColor:", cg);
  CGColorRelease(cg);
  id text = send(cls("ZELColor"), "textColorForBackgroundColor:", background);
  const char* name =
      send<BOOL>(text, "isEqual:", send(cls("UIColor"), "blackColor")) ? "black" : "white";
  printLine(json ? Json{{"color", name}}.dump() : std::string(name));
  return 0;
}

}  // namespace

int colorCommand(const Arguments& args) {
  if (args.empty()) return bad("color", "which colour? dominant, text-for or random", kColorUsage);
  if (args[0] == "dominant") return dominant(args);
  if (args[0] == "text-for") return textFor(args);
  if (args[0] == "random") {
    bool json = false;
    for (size_t i = 1; i < args.size(); ++i) {
      if (args[i] != "--json")
        return bad("color", "unexpected argument '" + args[i] + "'", kColorUsage);
      json = true;
    }
    ns::AutoreleasePool pool;
    return printColor(send(cls("ZELColor"), "randomColor"), json);
  }
  return bad("color", "unknown colour command '" + args[0] + "'", kColorUsage);
}
