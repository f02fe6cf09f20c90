// Reading back a PNG the project wrote, pixel by pixel, in points of the screen it was drawn for.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace testing_support {

using Pixel = std::array<int, 3>;  // red, green, blue, 0 to 255

struct PngPicture {
  uint32_t width = 0, height = 0;          // pixels
  double scale = 1;                        // pixels per point
  std::vector<std::vector<uint8_t>> rows;  // RGB
  bool empty() const { return rows.empty(); }
  // The pixel at a point (x, y in points).
  Pixel at(double x, double y) const;
  // The pixel at a pixel position.
  Pixel pixel(uint32_t x, uint32_t y) const;
};

// The picture in `path` (any PNG libpng reads: alpha dropped, palettes expanded), read at
// `scale`; empty, with a test failure, when there is none or it is not a PNG. With `onlyRows`,
// only those rows of pixels are kept (a tall picture never sits in memory whole); reading a
// pixel of another row throws std::out_of_range.
PngPicture readPng(const std::string& path, double scale,
                   const std::set<uint32_t>* onlyRows = nullptr);

// True when each channel of `a` is within `slack` of `b`.
bool near(const Pixel& a, const Pixel& b, int slack = 3);
std::string describe(const Pixel& p);

// Writes a PNG of `width` x `height` pixels, every row `row` (RGB).
void writeRowsPng(const std::string& path, int width, int height, const std::vector<uint8_t>& row);
// Writes a PNG of `width` x `height` pixels of one colour.
void writeSolidPng(const std::string& path, int width, int height, const Pixel& colour);

// A colour laid over `below` with opacity `alpha`, rounded as an 8-bit picture holds it.
Pixel over(const Pixel& colour, double alpha, const Pixel& below);

}  // namespace testing_support
