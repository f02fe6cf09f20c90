#include "png_picture.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace testing_support {

Pixel PngPicture::pixel(uint32_t x, uint32_t y) const {
  const std::vector<uint8_t>& row = rows.at(y);
  size_t i = static_cast<size_t>(x) * 3;
  return {row.at(i), row.at(i + 1), row.at(i + 2)};
}

Pixel PngPicture::at(double x, double y) const {
  return pixel(static_cast<uint32_t>(x * scale), static_cast<uint32_t>(y * scale));
}

namespace {

// Out of readPng, whose setjmp would otherwise leave these locals' values undefined after libpng
// jumps back.
void readRows(png_structp png, png_infop info, PngPicture& picture,
              const std::set<uint32_t>* onlyRows) {
  std::vector<uint8_t> row(png_get_rowbytes(png, info));
  picture.rows.resize(picture.height);
  for (uint32_t y = 0; y < picture.height; ++y) {
    png_read_row(png, row.data(), nullptr);
    if (onlyRows == nullptr || onlyRows->count(y) != 0) picture.rows[y] = row;
  }
}

}  // namespace

PngPicture readPng(const std::string& path, double scale, const std::set<uint32_t>* onlyRows) {
  PngPicture picture;
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (file == nullptr) {
    ADD_FAILURE() << "no picture at " << path;
    return picture;
  }
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    ADD_FAILURE() << path << " is no readable PNG";
    png_destroy_read_struct(&png, &info, nullptr);
    return PngPicture{};
  }
  png_init_io(png, file.get());
  png_read_info(png, info);
  png_set_strip_alpha(png);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_read_update_info(png, info);
  picture.width = png_get_image_width(png, info);
  picture.height = png_get_image_height(png, info);
  picture.scale = scale;
  readRows(png, info, picture, onlyRows);
  png_destroy_read_struct(&png, &info, nullptr);
  return picture;
}

void writeRowsPng(const std::string& path, int width, int height, const std::vector<uint8_t>& row) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) png_write_row(png, row.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

void writeSolidPng(const std::string& path, int width, int height, const Pixel& colour) {
  std::vector<uint8_t> row;
  for (int x = 0; x < width; ++x) {
    for (int c : colour) row.push_back(static_cast<uint8_t>(c));
  }
  writeRowsPng(path, width, height, row);
}

bool near(const Pixel& a, const Pixel& b, int slack) {
  for (int i = 0; i < 3; ++i) {
    if (std::abs(a[i] - b[i]) > slack) return false;
  }
  return true;
}

std::string describe(const Pixel& p) {
  return "(" + std::to_string(p[0]) + ", " + std::to_string(p[1]) + ", " + std::to_string(p[2]) +
         ")";
}

Pixel over(const Pixel& colour, double alpha, const Pixel& below) {
  Pixel out;
  for (int i = 0; i < 3; ++i) {
    out[i] = static_cast<int>(std::lround(colour[i] * alpha + below[i] * (1 - alpha)));
  }
  return out;
}

}  // namespace testing_support
