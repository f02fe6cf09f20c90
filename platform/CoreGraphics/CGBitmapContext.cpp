#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "objects.h"

#define CG_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// How one destination column (or row) takes from the source: the fraction of it the drawn
// rectangle covers, and the source pixels it averages with their weights.
struct Footprint {
  size_t destination;
  double coverage;
  size_t firstTap;  // into the taps list
  size_t tapCount;
};
struct Tap {
  size_t source;
  double weight;
};

double overlap(double a0, double a1, double b0, double b1) {
  return std::max(0.0, std::min(a1, b1) - std::max(a0, b0));
}

// The footprints of the destination pixels [0, extent) for the span [start, start + length)
// onto `sourceExtent` source pixels laid out in the same direction.
void footprints(double start, double length, size_t extent, size_t sourceExtent,
                std::vector<Footprint>& out, std::vector<Tap>& taps) {
  double scale = static_cast<double>(sourceExtent) / length;
  double end = start + length;
  auto first = static_cast<size_t>(std::max(0.0, std::floor(start)));
  auto last = static_cast<size_t>(std::clamp(std::ceil(end), 0.0, static_cast<double>(extent)));
  for (size_t d = first; d < last; ++d) {
    double lo = std::max(static_cast<double>(d), start);
    double hi = std::min(static_cast<double>(d + 1), end);
    double coverage = hi - lo;
    if (coverage <= 0) continue;
    double s0 = (lo - start) * scale;
    double s1 = (hi - start) * scale;
    Footprint footprint{d, coverage, taps.size(), 0};
    if (s1 - s0 < 1.0) {  // enlarging: the nearest source pixel
      double centre = (s0 + s1) / 2;
      auto index = static_cast<size_t>(
          std::clamp(std::floor(centre), 0.0, static_cast<double>(sourceExtent - 1)));
      taps.push_back({index, 1.0});
    } else {
      auto from = static_cast<size_t>(std::floor(s0));
      auto to = std::min(sourceExtent, static_cast<size_t>(std::ceil(s1)));
      for (size_t s = from; s < to; ++s) {
        double weight = overlap(static_cast<double>(s), static_cast<double>(s + 1), s0, s1);
        if (weight > 0) taps.push_back({s, weight / (s1 - s0)});
      }
    }
    footprint.tapCount = taps.size() - footprint.firstTap;
    out.push_back(footprint);
  }
}

uint8_t toByte(double value) {
  return static_cast<uint8_t>(std::clamp(value + 0.5, 0.0, 255.0));
}

// Composites premultiplied source colour (0..255 each) over one context pixel.
void composite(uint8_t* pixel, const cg::Layout& layout, double r, double g, double b, double a) {
  double keep = 1.0 - a / 255.0;
  if (layout.gray) {
    double gray = 0.299 * r + 0.587 * g + 0.114 * b;
    pixel[0] = toByte(gray + pixel[0] * keep);
    return;
  }
  pixel[layout.red] = toByte(r + pixel[layout.red] * keep);
  pixel[layout.green] = toByte(g + pixel[layout.green] * keep);
  pixel[layout.blue] = toByte(b + pixel[layout.blue] * keep);
  if (layout.alpha >= 0) pixel[layout.alpha] = toByte(a + pixel[layout.alpha] * keep);
  if (layout.skip >= 0) pixel[layout.skip] = 255;
}

// The common case: the image at its own size, at whole-pixel offsets, into premultiplied
// RGBA. Opaque pixels are copied, clear ones leave the context as it is.
void drawUnscaled(CGContextRef context, long x0, long yTop, CGImageRef image) {
  long width = static_cast<long>(image->width);
  long height = static_cast<long>(image->height);
  long fromX = std::max(0L, -x0);
  long toX = std::min(width, static_cast<long>(context->width) - x0);
  long fromY = std::max(0L, -yTop);
  long toY = std::min(height, static_cast<long>(context->height) - yTop);
  if (fromX >= toX || fromY >= toY) return;
  for (long y = fromY; y < toY; ++y) {
    const uint8_t* source = image->pixels.data() + (static_cast<size_t>(y) * width + fromX) * 4;
    uint8_t* target = context->data + static_cast<size_t>(y + yTop) * context->bytesPerRow +
                      static_cast<size_t>(x0 + fromX) * 4;
    for (long x = fromX; x < toX; ++x, source += 4, target += 4) {
      unsigned a = source[3];
      if (a == 255) {
        std::memcpy(target, source, 4);
      } else if (a != 0) {
        unsigned keep = 255 - a;
        for (int c = 0; c < 4; ++c)
          target[c] = static_cast<uint8_t>(source[c] + cg::mul255(target[c], keep));
      }
    }
  }
}

}  // namespace

CG_EXPORT CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height,
                                             size_t bitsPerComponent, size_t bytesPerRow,
                                             CGColorSpaceRef space, uint32_t bitmapInfo) {
  if (width == 0 || height == 0 || bitsPerComponent != 8) return nullptr;
  std::optional<cg::Layout> layout = cg::contextLayout(space, bitmapInfo);
  if (!layout) return nullptr;
  auto pixelBytes = static_cast<size_t>(layout->bytesPerPixel);
  if (width > std::numeric_limits<size_t>::max() / pixelBytes / height) return nullptr;
  if (bytesPerRow == 0) bytesPerRow = width * pixelBytes;
  if (bytesPerRow < width * pixelBytes) return nullptr;
  if (bytesPerRow > std::numeric_limits<size_t>::max() / height) return nullptr;
  bool owns = false;
  if (data == nullptr) {
    data = std::calloc(height, bytesPerRow);
    if (data == nullptr) return nullptr;
    owns = true;
  }
  auto* context = new CGContext;
  context->data = static_cast<uint8_t*>(data);
  context->ownsData = owns;
  context->width = width;
  context->height = height;
  context->bytesPerRow = bytesPerRow;
  context->space = cg::retain(space);
  context->bitmapInfo = bitmapInfo;
  context->layout = *layout;
  return context;
}
CG_EXPORT CGContextRef CGContextRetain(CGContextRef context) {
  return cg::retain(context);
}
CG_EXPORT void CGContextRelease(CGContextRef context) {
  cg::release(context);
}
CG_EXPORT void* CGBitmapContextGetData(CGContextRef context) {
  return context == nullptr ? nullptr : context->data;
}
CG_EXPORT size_t CGBitmapContextGetWidth(CGContextRef context) {
  return context == nullptr ? 0 : context->width;
}
CG_EXPORT size_t CGBitmapContextGetHeight(CGContextRef context) {
  return context == nullptr ? 0 : context->height;
}
CG_EXPORT size_t CGBitmapContextGetBytesPerRow(CGContextRef context) {
  return context == nullptr ? 0 : context->bytesPerRow;
}

CG_EXPORT CGImageRef CGBitmapContextCreateImage(CGContextRef context) {
  if (context == nullptr) return nullptr;
  auto* image = new CGImage;
  image->width = context->width;
  image->height = context->height;
  image->bitsPerComponent = 8;
  image->bitsPerPixel = static_cast<size_t>(context->layout.bytesPerPixel) * 8;
  image->bytesPerRow = context->width * static_cast<size_t>(context->layout.bytesPerPixel);
  image->space = cg::retain(context->space);
  image->bitmapInfo = context->bitmapInfo;
  image->pixels.resize(context->width * context->height * 4);
  uint8_t* out = image->pixels.data();
  for (size_t y = 0; y < context->height; ++y) {
    const uint8_t* row = context->data + y * context->bytesPerRow;
    for (size_t x = 0; x < context->width; ++x, out += 4) {
      cg::readPremultiplied(row + x * static_cast<size_t>(context->layout.bytesPerPixel),
                            context->layout, out);
    }
  }
  return image;
}

CG_EXPORT void CGContextDrawImage(CGContextRef context, CGRect rect, CGImageRef image) {
  if (context == nullptr || image == nullptr || image->width == 0 || image->height == 0) return;
  // A rectangle of negative size is the same rectangle measured from its other corner.
  if (rect.size.width < 0) rect.origin.x += rect.size.width, rect.size.width = -rect.size.width;
  if (rect.size.height < 0) {
    rect.origin.y += rect.size.height, rect.size.height = -rect.size.height;
  }
  const double values[] = {rect.origin.x, rect.origin.y, rect.size.width, rect.size.height};
  for (double value : values) {
    if (!std::isfinite(value) || std::fabs(value) > 1e9) return;
  }
  if (rect.size.width == 0 || rect.size.height == 0) return;

  // Context rows count from the bottom; memory rows from the top.
  double top = static_cast<double>(context->height) - (rect.origin.y + rect.size.height);
  if (context->layout.isPremultipliedRGBA() &&
      rect.size.width == static_cast<double>(image->width) &&
      rect.size.height == static_cast<double>(image->height) &&
      rect.origin.x == std::floor(rect.origin.x) && top == std::floor(top)) {
    drawUnscaled(context, static_cast<long>(rect.origin.x), static_cast<long>(top), image);
    return;
  }

  std::vector<Footprint> columns, rows;
  std::vector<Tap> columnTaps, rowTaps;
  footprints(rect.origin.x, rect.size.width, context->width, image->width, columns, columnTaps);
  footprints(top, rect.size.height, context->height, image->height, rows, rowTaps);
  // Each destination row: first the source rows it covers, weighted into one row, then the
  // source columns each destination pixel covers.
  auto pixelBytes = static_cast<size_t>(context->layout.bytesPerPixel);
  const size_t sourceRowBytes = image->width * 4;
  std::vector<float> blended(sourceRowBytes);
  for (const Footprint& row : rows) {
    std::fill(blended.begin(), blended.end(), 0.0f);
    for (size_t i = 0; i < row.tapCount; ++i) {
      const Tap& down = rowTaps[row.firstTap + i];
      const uint8_t* source = image->pixels.data() + down.source * sourceRowBytes;
      auto weight = static_cast<float>(down.weight);
      for (size_t k = 0; k < sourceRowBytes; ++k) blended[k] += weight * source[k];
    }
    uint8_t* line = context->data + row.destination * context->bytesPerRow;
    for (const Footprint& column : columns) {
      float sum[4] = {0, 0, 0, 0};
      for (size_t j = 0; j < column.tapCount; ++j) {
        const Tap& across = columnTaps[column.firstTap + j];
        const float* p = blended.data() + across.source * 4;
        auto weight = static_cast<float>(across.weight);
        for (int c = 0; c < 4; ++c) sum[c] += weight * p[c];
      }
      double coverage = row.coverage * column.coverage;
      composite(line + column.destination * pixelBytes, context->layout, sum[0] * coverage,
                sum[1] * coverage, sum[2] * coverage, sum[3] * coverage);
    }
  }
}
