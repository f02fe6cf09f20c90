// plinka-sim color dominant IMAGE [--scale S] [--json] | text-for C... [--json] |
//                  random [--json]
//
// Asks libpkprefs3's ZELColor through the runtime, exactly as the settings pane does.
#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/Foundation.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "help.h"
#include "options.h"

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

constexpr const char* kName = "color";

// The largest image, in points a side, that `color dominant` lets the settings library draw.
constexpr double kLargestSide = 16384;

int bad(const std::string& message) {
  return sim::argumentError(kName, message);
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

}  // namespace

std::string colorHelp() {
  return "usage: plinka-sim color dominant IMAGE [--scale S] [--json]\n"
         "       plinka-sim color text-for C... [--json]\n"
         "       plinka-sim color random [--json]\n"
         "\n"
         "dominant: ZELColor's dominant colour of an image (PNG, JPEG, GIF, HEIC, TIFF, BMP or\n"
         "ICO). Its size in points is its pixel size divided by the scale (--scale S, default 1)\n"
         "and must be 1 to 16384 points a side.\n"
         "text-for: black or white, the readable text colour on a background of 2 to 5\n"
         "components, each from 0 to 1. Only grey + alpha (2) or red, green, blue + alpha (4)\n"
         "are judged by brightness; any other count answers white, with a note on standard\n"
         "error (for red, green and blue, add the alpha).\n"
         "random: a random opaque colour.\n"
         "\n"
         "--json prints {\"r\":...,\"g\":...,\"b\":...,\"a\":...} or {\"color\":...}.\n"
         "\n"
         "exit status: 0 done; 1 failed while running; 2 bad arguments or an unreadable image.\n";
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
    return sim::runtimeError(kName, "the answer is not an RGB or grey colour");
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
  std::vector<std::string> images;
  std::string scaleText;
  double scale = 1.0;
  bool json = false;
  sim::OptionParser parser;
  parser.flag("--json", json)
      .value("--scale", scaleText, "--scale needs a positive number",
             [&scale](const std::string& text) {
               std::optional<double> value = number(text);
               if (!value || *value <= 0) return std::string("--scale needs a positive number");
               scale = *value;
               return std::string();
             })
      .operands(images, 1, 1, "dominant needs an image file", "unexpected argument '%s'")
      .unknown("unexpected argument '%s'");
  std::string problem;
  if (!parser.parse({args.begin() + 1, args.end()}, problem)) return bad(problem);
  const std::string& image = images[0];
  std::ifstream file(image, std::ios::binary);
  if (!file || fs::is_directory(image)) {
    return sim::runtimeError(kName, "cannot read the image '" + image + "'", 2);
  }
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());

  ns::AutoreleasePool pool;
  id icon =
      send(cls("UIImage"), "imageWithData:scale:", ns::data(bytes.data(), bytes.size()), scale);
  if (icon == nil) {
    return sim::runtimeError(
        kName,
        "'" + image + "' is not an image the device reads (PNG, JPEG, GIF, HEIC, TIFF, BMP or ICO)",
        2);
  }
  // The library draws the image at its size in points: keep that a bitmap it can hold.
  CGSize points = send<CGSize>(icon, "size");
  if (points.width > kLargestSide || points.height > kLargestSide || points.width < 1 ||
      points.height < 1) {
    char message[200];
    std::snprintf(message, sizeof message,
                  "--scale %g makes the image %g x %g points; it must be 1 to %.0f points a side",
                  scale, points.width, points.height, kLargestSide);
    return bad(message);
  }
  return printColor(send(cls("ZELColor"), "dominantColorFromIcon:", icon), json);
}

int textFor(const Arguments& args) {
  std::vector<std::string> components;
  bool json = false;
  sim::OptionParser parser;
  parser.flag("--json", json)
      .operands(components, 0, SIZE_MAX, "", "")
      .numberOperands()
      .unknown("'%s' is not a number");
  std::string problem;
  if (!parser.parse({args.begin() + 1, args.end()}, problem)) return bad(problem);
  std::vector<double> values;
  for (const std::string& component : components) {
    std::optional<double> value = number(component);
    if (!value) return bad("'" + component + "' is not a number");
    if (*value < 0 || *value > 1) {
      return bad("component " + component + " is not between 0 and 1");
    }
    values.push_back(*value);
  }
  if (values.size() < 2 || values.size() > 5) {
    return bad("text-for needs 2 to 5 components");
  }
  // The library judges brightness for grey + alpha and for red, green, blue + alpha; any other
  // colour gets white. That answer stands, but a user who meant red, green and blue hears why.
  if (values.size() != 2 && values.size() != 4) {
    std::fprintf(stderr,
                 "plinka-sim color: note: %zu components are not judged by brightness (only "
                 "grey + alpha or red, green, blue + alpha are): the library answers white; for "
                 "red, green and blue add the alpha (e.g. 1)\n",
                 values.size());
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
  if (args.empty()) return bad("which colour? dominant, text-for or random");
  if (args[0] == "dominant") return dominant(args);
  if (args[0] == "text-for") return textFor(args);
  if (args[0] == "random") {
    bool json = false;
    sim::OptionParser parser;
    parser.flag("--json", json).unknown("unexpected argument '%s'");
    std::string problem;
    if (!parser.parse({args.begin() + 1, args.end()}, problem)) return bad(problem);
    ns::AutoreleasePool pool;
    return printColor(send(cls("ZELColor"), "randomColor"), json);
  }
  return bad("unknown colour command '" + args[0] + "'");
}
