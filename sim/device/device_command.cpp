// plinka-sim device [--device-root DIR] [--machine ID] [--system-version V] [--mounts FILE]
//                   [--json] [compare VERSION]
// plinka-sim color dominant IMAGE [--scale S] [--json] | text-for C... [--json] |
//                  random [--json]
//
// Both ask libpkprefs3's utilities through the runtime, exactly as the settings pane does.
#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/Foundation.h>
#include <device/device.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "help.h"

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

// The largest image, in points a side, that `color dominant` lets the settings library draw.
constexpr double kLargestSide = 16384;

int bad(const char* command, const std::string& message) {
  return sim::argumentError(command, message);
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

// Runs `work` with the process's standard output going to a scratch file; answers what it
// wrote there, or nothing when the output could not be redirected.
std::optional<std::string> capturingStandardOutput(const std::function<void()>& work) {
  std::fflush(stdout);
  FILE* scratch = std::tmpfile();
  int saved = dup(STDOUT_FILENO);
  if (scratch == nullptr || saved < 0 || dup2(fileno(scratch), STDOUT_FILENO) < 0) {
    if (scratch != nullptr) std::fclose(scratch);
    if (saved >= 0) close(saved);
    return std::nullopt;
  }
  work();
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  std::string text;
  std::rewind(scratch);
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, scratch)) > 0;) text.append(buffer, n);
  std::fclose(scratch);
  return text;
}

}  // namespace

std::string deviceHelp() {
  return "usage: plinka-sim device [--device-root DIR] [--machine ID] [--system-version V]\n"
         "                         [--mounts FILE] [--json] [compare VERSION]\n"
         "\n"
         "Asks ZELDeviceUtils about the simulated device: its hardware identifier, marketing\n"
         "name, jailbreak and whether a union mount is present; with compare, the four\n"
         "comparisons of the running iOS version against VERSION (free text: the comparison is\n"
         "what is under test).\n"
         "\n"
         "options:\n"
         "  --device-root DIR     where the jailbreak's marker files are looked for (default /)\n"
         "  --machine ID          the hardware identifier (default iPhone13,4)\n"
         "  --system-version V    the running iOS version: dot-separated numbers, optionally a\n"
         "                        suffix (13.0b2); default 14.4\n"
         "  --mounts FILE         the mount table, in /proc/mounts format (default: this\n"
         "                        machine's); an empty file is an empty table\n"
         "  --json                JSON lines only: what the library prints becomes an entry\n"
         "                        {\"kind\":\"stdout\",\"text\":...}; the answer is the last line\n"
         "\n"
         "exit status: 0 done; 1 failed while running; 2 bad arguments.\n";
}

std::string colorHelp() {
  return "usage: plinka-sim color dominant IMAGE [--scale S] [--json]\n"
         "       plinka-sim color text-for C... [--json]\n"
         "       plinka-sim color random [--json]\n"
         "\n"
         "dominant: ZELColor's dominant colour of a PNG, JPEG, GIF, HEIC, TIFF, BMP or ICO image.\n"
         "Its size in points is its pixel size divided by the scale (--scale S, default 1) and\n"
         "must be 1 to 16384 points a side.\n"
         "text-for: black or white, the readable text colour on a background of 2 to 5\n"
         "components (grey and alpha, or red, green, blue and alpha), each from 0 to 1.\n"
         "random: a random opaque colour.\n"
         "\n"
         "--json prints {\"r\":...,\"g\":...,\"b\":...,\"a\":...} or {\"color\":...}.\n"
         "\n"
         "exit status: 0 done; 1 failed while running; 2 bad arguments or an unreadable image.\n";
}

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
      if (!value(text)) return bad(kName, "--device-root needs a folder");
      if (!fs::is_directory(text)) {
        return sim::runtimeError(kName, "the device root '" + text + "' is not a folder", 2);
      }
      device::setRoot(text);
    } else if (arg == "--machine") {
      if (!value(text)) return bad(kName, "--machine needs an identifier");
      device::setMachine(text);
    } else if (arg == "--system-version") {
      if (!value(text)) return bad(kName, "--system-version needs a version");
      if (!sim::isSystemVersion(text)) {
        return bad(kName,
                   "--system-version takes a version such as 14.4 or 13.0b2, not '" + text + "'");
      }
      device::setSystemVersion(text);
    } else if (arg == "--mounts") {
      if (!value(text)) return bad(kName, "--mounts needs a file");
      if (!std::ifstream(text) || fs::is_directory(text)) {
        return sim::runtimeError(kName, "cannot read the mount table '" + text + "'", 2);
      }
      device::setMountTable(text);
    } else if (arg == "compare" && !compareWith) {
      if (!value(text)) return bad(kName, "compare needs a version");
      compareWith = text;
    } else {
      return bad(kName, "unexpected argument '" + arg + "'");
    }
  }

  ns::AutoreleasePool pool;
  id utils = cls("ZELDeviceUtils");
  if (utils == nil) {
    return sim::runtimeError(kName, "ZELDeviceUtils is not registered");
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
  std::string code;
  std::string model;
  std::string jailbreak;
  bool checkra1n = false;
  auto ask = [&] {
    code = ns::utf8(send(utils, "getDeviceCode"));
    model = ns::utf8(send(utils, "getDeviceModel"));
    jailbreak = ns::utf8(send(utils, "getJailbreakName"));
    checkra1n = send<BOOL>(utils, "detectCheckra1n");
  };
  if (json) {
    // Standard output holds JSON only: what the library prints there becomes journal entries.
    std::optional<std::string> printed = capturingStandardOutput(ask);
    if (!printed) return sim::runtimeError(kName, "cannot capture standard output");
    std::istringstream lines(*printed);
    for (std::string line; std::getline(lines, line);) {
      printLine(Json{{"kind", "stdout"}, {"text", line}}.dump());
    }
    printLine(
        Json{{"code", code}, {"model", model}, {"jailbreak", jailbreak}, {"checkra1n", checkra1n}}
            .dump());
  } else {
    ask();
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
    return sim::runtimeError("color", "the answer is not an RGB or grey colour");
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
      if (!value || *value <= 0) return bad("color", "--scale needs a positive number");
      scale = *value;
    } else if (!image && (args[i].empty() || args[i][0] != '-' || args[i] == "-")) {
      image = args[i];
    } else {
      return bad("color", "unexpected argument '" + args[i] + "'");
    }
  }
  if (!image) return bad("color", "dominant needs an image file");
  std::ifstream file(*image, std::ios::binary);
  if (!file || fs::is_directory(*image)) {
    return sim::runtimeError("color", "cannot read the image '" + *image + "'", 2);
  }
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());

  ns::AutoreleasePool pool;
  id icon =
      send(cls("UIImage"), "imageWithData:scale:", ns::data(bytes.data(), bytes.size()), scale);
  if (icon == nil) {
    return sim::runtimeError(
        "color",
        "'" + *image + "' is no image the device reads (PNG, JPEG, GIF, HEIC, TIFF, BMP, ICO)", 2);
  }
  // The library draws the image at its size in points: keep that a bitmap it can hold.
  CGSize points = send<CGSize>(icon, "size");
  if (points.width > kLargestSide || points.height > kLargestSide || points.width < 1 ||
      points.height < 1) {
    char message[200];
    std::snprintf(message, sizeof message,
                  "--scale %g makes the image %g x %g points; it must be 1 to %.0f points a side",
                  scale, points.width, points.height, kLargestSide);
    return bad("color", message);
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
    if (!value) return bad("color", "'" + args[i] + "' is not a number");
    if (*value < 0 || *value > 1) {
      return bad("color", "component " + args[i] + " is not between 0 and 1");
    }
    values.push_back(*value);
  }
  if (values.size() < 2 || values.size() > 5) {
    return bad("color", "text-for needs 2 to 5 components");
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
  if (args.empty()) return bad("color", "which colour? dominant, text-for or random");
  if (args[0] == "dominant") return dominant(args);
  if (args[0] == "text-for") return textFor(args);
  if (args[0] == "random") {
    bool json = false;
    for (size_t i = 1; i < args.size(); ++i) {
      if (args[i] != "--json") return bad("color", "unexpected argument '" + args[i] + "'");
      json = true;
    }
    ns::AutoreleasePool pool;
    return printColor(send(cls("ZELColor"), "randomColor"), json);
  }
  return bad("color", "unknown colour command '" + args[0] + "'");
}
