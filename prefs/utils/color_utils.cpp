#include <CoreGraphics/CoreGraphics.h>
#include <arc4random.h>
#include <pkprefs3/ZELColor.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace {

id colorWith(double red, double green, double blue, double alpha) {
  return send(cls("UIColor"), "colorWithRed:green:blue:alpha:", red, green, blue, alpha);
}
id opaqueBlack() {
  return colorWith(0.0, 0.0, 0.0, 1.0);
}

// A side of the bitmap in whole pixels; 0 for sizes that make no bitmap (negative, not a
// number, or beyond what a buffer could hold).
size_t pixelsFor(double points) {
  if (!(points >= 1.0) || points > 1e7) return 0;
  return static_cast<size_t>(points);
}

// The icon is drawn at its size in points into a zero-filled premultiplied RGBA bitmap, and
// every third pixel is judged by its luminance. The bitmap's rows are whole pixels (width x 4
// bytes), so that the pixels read as consecutive 4-byte groups are the pixels drawn, whatever
// fraction of a point the size carries.
id dominantColorFromIcon(id, SEL, id icon) {
  CGSize size = send<CGSize>(icon, "size");
  size_t width = pixelsFor(size.width);
  size_t height = pixelsFor(size.height);
  size_t bytesPerRow = width * 4;
  if (height != 0 && bytesPerRow > std::numeric_limits<size_t>::max() / height) {
    return opaqueBlack();
  }
  auto* data = static_cast<uint8_t*>(std::calloc(bytesPerRow * height, 1));
  if (data == nullptr) return opaqueBlack();

  CGImageRef image = send<CGImageRef>(icon, "CGImage");
  // Grey and indexed images have no premultiplied-RGBA bitmap of their own colour space; they
  // are drawn in device RGB instead of giving up.
  CGColorSpaceRef space = CGImageGetColorSpace(image);
  CGColorSpaceRef rgb = nullptr;
  if (space == nullptr || CGColorSpaceGetModel(space) != kCGColorSpaceModelRGB) {
    space = rgb = CGColorSpaceCreateDeviceRGB();
  }
  CGContextRef context = CGBitmapContextCreate(data, width, height, 8, bytesPerRow, space,
                                               kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(rgb);
  if (context == nullptr) {
    std::free(data);
    return opaqueBlack();
  }
  CGContextDrawImage(
      context, CGRectMake(0, 0, static_cast<double>(width), static_cast<double>(height)), image);
  CGContextRelease(context);

  uint64_t red = 0, green = 0, blue = 0, count = 0;
  const uint64_t pixels = static_cast<uint64_t>(width) * height;
  for (uint64_t i = 0; i < pixels; i += 3) {
    const uint8_t* pixel = data + i * 4;
    unsigned r = pixel[0], g = pixel[1], b = pixel[2];
    double luminance = r * 0.299 + g * 0.587 + b * 0.114;
    if (luminance > 20 && luminance < 230) {
      red += r;
      green += g;
      blue += b;
      ++count;
    }
  }
  std::free(data);

  uint64_t averageRed = count == 0 ? 0 : red / count;
  uint64_t averageGreen = count == 0 ? 0 : green / count;
  uint64_t averageBlue = count == 0 ? 0 : blue / count;
  return colorWith(static_cast<float>(averageRed) / 255.0f,
                   static_cast<float>(averageGreen) / 255.0f,
                   static_cast<float>(averageBlue) / 255.0f, 1.0);
}

id textColorForBackgroundColor(id, SEL, id background) {
  CGColorRef color = send<CGColorRef>(background, "CGColor");
  size_t count = CGColorGetNumberOfComponents(color);
  const CGFloat* c = CGColorGetComponents(color);
  double brightness = 0;
  if (count == 2) {
    double v = c[0] * 255;
    brightness = (v * 299 + v * 587 + v * 114) / 1000;
  } else if (count == 4) {
    brightness = (c[0] * 255 * 299 + c[1] * 255 * 587 + c[2] * 255 * 114) / 1000;
  } else {
    return send(cls("UIColor"), "whiteColor");
  }
  return send(cls("UIColor"), brightness >= 200 ? "blackColor" : "whiteColor");
}

id randomColor(id, SEL) {
  uint32_t red = arc4random();
  uint32_t green = arc4random();
  uint32_t blue = arc4random();
  return colorWith((red % 255) / 255.0, (green % 255) / 255.0, (blue % 255) / 255.0, 1.0);
}

__attribute__((constructor)) void registerColor() {
  ClassBuilder builder("ZELColor", objc_getClass("NSObject"));
  if (!builder) return;  // already registered
  builder.classMethod("dominantColorFromIcon:", dominantColorFromIcon)
      .classMethod("textColorForBackgroundColor:", textColorForBackgroundColor)
      .classMethod("randomColor", randomColor)
      .register_();
}

}  // namespace

Class ZELColor::runtimeClass() {
  return objc_getClass("ZELColor");
}
id ZELColor::dominantColorFromIcon(id icon) {
  return send(runtimeClass(), "dominantColorFromIcon:", icon);
}
id ZELColor::textColorForBackgroundColor(id color) {
  return send(runtimeClass(), "textColorForBackgroundColor:", color);
}
id ZELColor::randomColor() {
  return send(runtimeClass(), "randomColor");
}
