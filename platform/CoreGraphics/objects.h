// The insides of the CoreGraphics objects, shared by the files of this library.
#pragma once

#include <CoreGraphics/CoreGraphics.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

namespace cg {

struct Counted {
  std::atomic<int> references{1};
};

template <typename T>
T* retain(T* object) {
  if (object != nullptr) object->references.fetch_add(1, std::memory_order_relaxed);
  return object;
}
template <typename T>
void release(T* object) {
  if (object != nullptr && object->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    delete object;
  }
}

// Where the channels of one pixel lie. A channel at -1 is absent; `skip` is a byte that holds
// no channel (written as 255).
struct Layout {
  int bytesPerPixel = 4;
  int red = 0, green = 1, blue = 2, alpha = 3, skip = -1;
  bool gray = false;
  bool premultiplied = true;

  bool isPremultipliedRGBA() const {
    return !gray && bytesPerPixel == 4 && red == 0 && green == 1 && blue == 2 && alpha == 3 &&
           premultiplied;
  }
};

// The layout of a pixel format, or nothing when the format is not supported (for images, or
// for contexts, which accept fewer formats).
std::optional<Layout> imageLayout(size_t bitsPerPixel, CGColorSpaceRef space, CGBitmapInfo info);
std::optional<Layout> contextLayout(CGColorSpaceRef space, CGBitmapInfo info);

// One pixel as premultiplied RGBA.
void readPremultiplied(const uint8_t* pixel, const Layout& layout, uint8_t out[4]);

// c * a / 255, rounded to nearest.
inline uint8_t mul255(unsigned c, unsigned a) {
  unsigned t = c * a + 128;
  return static_cast<uint8_t>((t + (t >> 8)) >> 8);
}

}  // namespace cg

struct CGColorSpace : cg::Counted {
  CGColorSpaceModel model = kCGColorSpaceModelRGB;
  size_t components = 3;  // without alpha
};

struct CGColor : cg::Counted {
  CGColorSpaceRef space = nullptr;
  std::vector<CGFloat> components;
  ~CGColor() { cg::release(space); }
};

struct CGDataProvider : cg::Counted {
  void* info = nullptr;
  const void* data = nullptr;
  size_t size = 0;
  CGDataProviderReleaseDataCallback releaseData = nullptr;
  ~CGDataProvider() {
    if (releaseData != nullptr) releaseData(info, data, size);
  }
};

struct CGImage : cg::Counted {
  size_t width = 0, height = 0;
  size_t bitsPerComponent = 8, bitsPerPixel = 32, bytesPerRow = 0;
  CGColorSpaceRef space = nullptr;
  CGBitmapInfo bitmapInfo = kCGImageAlphaPremultipliedLast;
  std::vector<uint8_t> pixels;  // premultiplied RGBA, top row first, width * 4 bytes a row
  ~CGImage() { cg::release(space); }
};

struct CGContext : cg::Counted {
  uint8_t* data = nullptr;
  bool ownsData = false;
  size_t width = 0, height = 0, bytesPerRow = 0;
  CGColorSpaceRef space = nullptr;
  CGBitmapInfo bitmapInfo = 0;
  cg::Layout layout;
  ~CGContext() {
    cg::release(space);
    if (ownsData) std::free(data);
  }
};
