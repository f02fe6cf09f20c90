// The image codecs behind UIImage: each format through a maintained library.
//
//   PNG   libpng (simplified API)        JPEG  libjpeg-turbo
//   GIF   giflib (first frame)           TIFF  libtiff
//   HEIC  libheif                        BMP, ICO, CUR  gdk-pixbuf's loaders
//
// The format is chosen by the bytes' signature, never by a name, and each library is handed
// only bytes of its own format. Every decoder refuses, before it allocates the picture, an image
// that declares more than kMaxDecodedPixels pixels (or a side over kMaxSide): like the device's
// decoder, a small file cannot claim gigabytes. Damaged or truncated bytes give no picture,
// never a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace uikit::codecs {

// 100 megapixels (400 MiB as RGBA): above any phone camera's picture; a side at most 32768.
constexpr uint64_t kMaxDecodedPixels = 100'000'000;
constexpr uint32_t kMaxSide = 32768;

bool acceptableSize(uint64_t width, uint64_t height);

// Decoded pixels: `channels` 8-bit samples per pixel (1 grey, 2 grey + alpha, 3 RGB, 4 RGBA),
// alpha straight (not premultiplied), top row first, rows packed.
struct Pixels {
  uint32_t width = 0;
  uint32_t height = 0;
  int channels = 0;
  std::vector<uint8_t> samples;
};

// Decodes PNG, JPEG, GIF, TIFF, HEIC, BMP, ICO or CUR bytes (the format as ns::imageFormatOf
// names it; of an ICO or CUR, its largest entry, PNG or BMP); false for anything else.
bool decode(const uint8_t* bytes, size_t size, Pixels& out);

// Encoders, from straight RGBA (PNG) or RGB (JPEG) rows, top row first. `quality` is libjpeg's
// 1 to 100.
bool encodePNG(const uint8_t* rgba, uint32_t width, uint32_t height, std::vector<uint8_t>& out);
bool encodeJPEG(const uint8_t* rgb, uint32_t width, uint32_t height, int quality,
                std::vector<uint8_t>& out);

}  // namespace uikit::codecs
