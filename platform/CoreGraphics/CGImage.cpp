#include <limits>

#include "objects.h"

#define CG_EXPORT extern "C" __attribute__((visibility("default")))

namespace cg {
namespace {

// Channel positions of a 32-bit pixel with alpha (or a skipped byte) first or last, in
// memory order; a little-endian 32-bit order reverses the four bytes.
Layout fourBytes(bool alphaFirst, bool little, bool premultiplied, bool skipped) {
  int order[4];  // memory position of A?, R, G, B in big-endian order
  if (alphaFirst) {
    order[0] = 0, order[1] = 1, order[2] = 2, order[3] = 3;  // A R G B
  } else {
    order[0] = 3, order[1] = 0, order[2] = 1, order[3] = 2;  // R G B A
  }
  if (little) {
    for (int& position : order) position = 3 - position;
  }
  Layout layout;
  layout.bytesPerPixel = 4;
  layout.red = order[1];
  layout.green = order[2];
  layout.blue = order[3];
  layout.alpha = skipped ? -1 : order[0];
  layout.skip = skipped ? order[0] : -1;
  layout.premultiplied = premultiplied;
  return layout;
}

}  // namespace

std::optional<Layout> imageLayout(size_t bitsPerPixel, CGColorSpaceRef space, CGBitmapInfo info) {
  if (space == nullptr || (info & kCGBitmapFloatComponents) != 0) return std::nullopt;
  CGImageAlphaInfo alpha = info & kCGBitmapAlphaInfoMask;
  CGBitmapInfo order = info & kCGBitmapByteOrderMask;
  if (space->model == kCGColorSpaceModelMonochrome) {
    Layout layout;
    layout.gray = true;
    layout.red = layout.green = layout.blue = 0;
    if (bitsPerPixel == 8 && alpha == kCGImageAlphaNone) {
      layout.bytesPerPixel = 1;
      layout.alpha = -1;
      return layout;
    }
    if (bitsPerPixel == 16 &&
        (alpha == kCGImageAlphaLast || alpha == kCGImageAlphaPremultipliedLast)) {
      bool little = order == kCGBitmapByteOrder16Little;
      layout.bytesPerPixel = 2;
      layout.red = layout.green = layout.blue = little ? 1 : 0;
      layout.alpha = little ? 0 : 1;
      layout.premultiplied = alpha == kCGImageAlphaPremultipliedLast;
      return layout;
    }
    return std::nullopt;
  }
  if (space->model != kCGColorSpaceModelRGB) return std::nullopt;
  if (bitsPerPixel == 24 && alpha == kCGImageAlphaNone) {
    Layout layout;
    layout.bytesPerPixel = 3;
    layout.alpha = -1;
    return layout;
  }
  if (bitsPerPixel != 32) return std::nullopt;
  if (order != kCGBitmapByteOrderDefault && order != kCGBitmapByteOrder32Big &&
      order != kCGBitmapByteOrder32Little) {
    return std::nullopt;
  }
  bool little = order == kCGBitmapByteOrder32Little;
  switch (alpha) {
    case kCGImageAlphaPremultipliedLast:
      return fourBytes(false, little, true, false);
    case kCGImageAlphaPremultipliedFirst:
      return fourBytes(true, little, true, false);
    case kCGImageAlphaLast:
      return fourBytes(false, little, false, false);
    case kCGImageAlphaFirst:
      return fourBytes(true, little, false, false);
    case kCGImageAlphaNoneSkipLast:
      return fourBytes(false, little, true, true);
    case kCGImageAlphaNoneSkipFirst:
      return fourBytes(true, little, true, true);
    default:
      return std::nullopt;
  }
}

std::optional<Layout> contextLayout(CGColorSpaceRef space, CGBitmapInfo info) {
  if (space == nullptr) return std::nullopt;
  CGImageAlphaInfo alpha = info & kCGBitmapAlphaInfoMask;
  if (space->model == kCGColorSpaceModelMonochrome) {
    if (alpha != kCGImageAlphaNone) return std::nullopt;
    return imageLayout(8, space, info);
  }
  // Bitmap contexts hold premultiplied colour or none: straight alpha is refused.
  if (alpha != kCGImageAlphaPremultipliedLast && alpha != kCGImageAlphaPremultipliedFirst &&
      alpha != kCGImageAlphaNoneSkipLast && alpha != kCGImageAlphaNoneSkipFirst) {
    return std::nullopt;
  }
  return imageLayout(32, space, info);
}

void readPremultiplied(const uint8_t* pixel, const Layout& layout, uint8_t out[4]) {
  unsigned a = layout.alpha >= 0 ? pixel[layout.alpha] : 255;
  unsigned r = pixel[layout.red], g = pixel[layout.green], b = pixel[layout.blue];
  if (!layout.premultiplied) {
    r = mul255(r, a), g = mul255(g, a), b = mul255(b, a);
  } else if (r > a || g > a || b > a) {  // not valid premultiplied colour: clamp
    r = std::min(r, a), g = std::min(g, a), b = std::min(b, a);
  }
  out[0] = static_cast<uint8_t>(r);
  out[1] = static_cast<uint8_t>(g);
  out[2] = static_cast<uint8_t>(b);
  out[3] = static_cast<uint8_t>(a);
}

}  // namespace cg

CG_EXPORT CGDataProviderRef CGDataProviderCreateWithData(
    void* info, const void* data, size_t size, CGDataProviderReleaseDataCallback release) {
  auto* provider = new CGDataProvider;
  provider->info = info;
  provider->data = data;
  provider->size = data == nullptr ? 0 : size;
  provider->releaseData = release;
  return provider;
}
CG_EXPORT CGDataProviderRef CGDataProviderRetain(CGDataProviderRef provider) {
  return cg::retain(provider);
}
CG_EXPORT void CGDataProviderRelease(CGDataProviderRef provider) {
  cg::release(provider);
}

CG_EXPORT CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent,
                                   size_t bitsPerPixel, size_t bytesPerRow, CGColorSpaceRef space,
                                   CGBitmapInfo bitmapInfo, CGDataProviderRef provider,
                                   const CGFloat*, bool, CGColorRenderingIntent) {
  if (width == 0 || height == 0 || bitsPerComponent != 8 || provider == nullptr) return nullptr;
  std::optional<cg::Layout> layout = cg::imageLayout(bitsPerPixel, space, bitmapInfo);
  if (!layout) return nullptr;
  size_t pixelBytes = static_cast<size_t>(layout->bytesPerPixel);
  constexpr size_t kMax = std::numeric_limits<size_t>::max();
  if (width > kMax / 4 / height || bytesPerRow < width * pixelBytes) return nullptr;
  if (bytesPerRow > (kMax - width * pixelBytes) / height) return nullptr;
  if (provider->size < bytesPerRow * (height - 1) + width * pixelBytes) return nullptr;

  auto* image = new CGImage;
  image->width = width;
  image->height = height;
  image->bitsPerComponent = bitsPerComponent;
  image->bitsPerPixel = bitsPerPixel;
  image->bytesPerRow = bytesPerRow;
  image->space = cg::retain(space);
  image->bitmapInfo = bitmapInfo;
  image->pixels.resize(width * height * 4);
  const auto* source = static_cast<const uint8_t*>(provider->data);
  uint8_t* out = image->pixels.data();
  for (size_t y = 0; y < height; ++y) {
    const uint8_t* row = source + y * bytesPerRow;
    for (size_t x = 0; x < width; ++x, out += 4) {
      cg::readPremultiplied(row + x * pixelBytes, *layout, out);
    }
  }
  return image;
}
CG_EXPORT CGImageRef CGImageRetain(CGImageRef image) {
  return cg::retain(image);
}
CG_EXPORT void CGImageRelease(CGImageRef image) {
  cg::release(image);
}
CG_EXPORT size_t CGImageGetWidth(CGImageRef image) {
  return image == nullptr ? 0 : image->width;
}
CG_EXPORT size_t CGImageGetHeight(CGImageRef image) {
  return image == nullptr ? 0 : image->height;
}
CG_EXPORT size_t CGImageGetBitsPerComponent(CGImageRef image) {
  return image == nullptr ? 0 : image->bitsPerComponent;
}
CG_EXPORT size_t CGImageGetBitsPerPixel(CGImageRef image) {
  return image == nullptr ? 0 : image->bitsPerPixel;
}
CG_EXPORT size_t CGImageGetBytesPerRow(CGImageRef image) {
  return image == nullptr ? 0 : image->bytesPerRow;
}
CG_EXPORT CGColorSpaceRef CGImageGetColorSpace(CGImageRef image) {
  return image == nullptr ? nullptr : image->space;
}
CG_EXPORT CGImageAlphaInfo CGImageGetAlphaInfo(CGImageRef image) {
  return image == nullptr ? kCGImageAlphaNone : (image->bitmapInfo & kCGBitmapAlphaInfoMask);
}
CG_EXPORT CGBitmapInfo CGImageGetBitmapInfo(CGImageRef image) {
  return image == nullptr ? 0 : image->bitmapInfo;
}
