// CoreGraphics, as the product and the UIKit stand-in use it: colour spaces, colours, images
// and bitmap contexts.
//
// Mirrors: the C API of CoreGraphics under its own names. Objects are reference counted: a
// Create or Copy function gives the caller a reference that it gives back with the matching
// Release (NULL is accepted and ignored); Get functions answer without transferring one.
//
// Faithful:
// - Bitmap contexts accept the pixel formats the platform supports for 8 bits per component:
//   RGB with 32 bits per pixel and alpha premultiplied or skipped, first or last, in either
//   32-bit byte order; grey with 8 bits per pixel and no alpha. Any other combination, a null
//   colour space, a zero width or height, or a row shorter than its pixels gives NULL. A null
//   data pointer makes the context allocate (and own) a zero-filled buffer; bytes per row 0 is
//   computed.
// - Context coordinates start at the bottom left; the first row in memory is the top row.
// - CGContextDrawImage scales the image into the rectangle and composites it over the
//   context's pixels (source over), with partly covered edge pixels blended by their coverage.
//   Colour is premultiplied by alpha in the context when its format says so.
// - CGColorGetNumberOfComponents counts alpha: 2 for grey, 4 for RGB; NULL answers 0.
// Simplified: no colour management (device RGB and grey only; grey converts to RGB by copying,
// RGB to grey by 0.299/0.587/0.114 luminance); scaling averages the source pixels a
// destination pixel covers, and takes the nearest one when enlarging; images keep their pixels
// as premultiplied RGBA, 8 bits per component, whatever their declared format.
#pragma once

#include <objc/msg_send.h>

#include <cstddef>
#include <cstdint>
#include <string>

typedef double CGFloat;

struct CGPoint {
  CGFloat x;
  CGFloat y;
};
struct CGSize {
  CGFloat width;
  CGFloat height;
};
struct CGRect {
  CGPoint origin;
  CGSize size;
};
// Their type encodings, as the compiler writes them for methods that take or answer them.
template <>
struct TypeEncoding<CGPoint> {
  static std::string get() { return "{CGPoint=dd}"; }
};
template <>
struct TypeEncoding<CGSize> {
  static std::string get() { return "{CGSize=dd}"; }
};
template <>
struct TypeEncoding<CGRect> {
  static std::string get() { return "{CGRect={CGPoint=dd}{CGSize=dd}}"; }
};

inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height) {
  return CGRect{{x, y}, {width, height}};
}
inline CGSize CGSizeMake(CGFloat width, CGFloat height) {
  return CGSize{width, height};
}
inline CGPoint CGPointMake(CGFloat x, CGFloat y) {
  return CGPoint{x, y};
}

typedef struct CGColorSpace* CGColorSpaceRef;
typedef struct CGColor* CGColorRef;
typedef struct CGImage* CGImageRef;
typedef struct CGContext* CGContextRef;
typedef struct CGDataProvider* CGDataProviderRef;

typedef int32_t CGColorSpaceModel;
constexpr CGColorSpaceModel kCGColorSpaceModelUnknown = -1;
constexpr CGColorSpaceModel kCGColorSpaceModelMonochrome = 0;
constexpr CGColorSpaceModel kCGColorSpaceModelRGB = 1;
constexpr CGColorSpaceModel kCGColorSpaceModelCMYK = 2;

typedef uint32_t CGImageAlphaInfo;
constexpr CGImageAlphaInfo kCGImageAlphaNone = 0;
constexpr CGImageAlphaInfo kCGImageAlphaPremultipliedLast = 1;
constexpr CGImageAlphaInfo kCGImageAlphaPremultipliedFirst = 2;
constexpr CGImageAlphaInfo kCGImageAlphaLast = 3;
constexpr CGImageAlphaInfo kCGImageAlphaFirst = 4;
constexpr CGImageAlphaInfo kCGImageAlphaNoneSkipLast = 5;
constexpr CGImageAlphaInfo kCGImageAlphaNoneSkipFirst = 6;
constexpr CGImageAlphaInfo kCGImageAlphaOnly = 7;

typedef uint32_t CGBitmapInfo;
constexpr CGBitmapInfo kCGBitmapAlphaInfoMask = 0x1F;
constexpr CGBitmapInfo kCGBitmapFloatComponents = 1 << 8;
constexpr CGBitmapInfo kCGBitmapByteOrderMask = 0x7000;
constexpr CGBitmapInfo kCGBitmapByteOrderDefault = 0 << 12;
constexpr CGBitmapInfo kCGBitmapByteOrder16Little = 1 << 12;
constexpr CGBitmapInfo kCGBitmapByteOrder32Little = 2 << 12;
constexpr CGBitmapInfo kCGBitmapByteOrder16Big = 3 << 12;
constexpr CGBitmapInfo kCGBitmapByteOrder32Big = 4 << 12;

typedef int32_t CGColorRenderingIntent;
constexpr CGColorRenderingIntent kCGRenderingIntentDefault = 0;

extern "C" {

// --- Colour spaces ---
CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void);
CGColorSpaceRef CGColorSpaceCreateDeviceGray(void);
CGColorSpaceRef CGColorSpaceCreateDeviceCMYK(void);  // for colours only: no CMYK bitmaps
CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space);
void CGColorSpaceRelease(CGColorSpaceRef space);
size_t CGColorSpaceGetNumberOfComponents(CGColorSpaceRef space);  // without alpha
CGColorSpaceModel CGColorSpaceGetModel(CGColorSpaceRef space);

// --- Colours ---
// `components` holds the colour space's components followed by alpha; NULL when the space or
// the components are missing.
CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat* components);
CGColorRef CGColorRetain(CGColorRef color);
void CGColorRelease(CGColorRef color);
size_t CGColorGetNumberOfComponents(CGColorRef color);
const CGFloat* CGColorGetComponents(CGColorRef color);  // owned by the colour
CGFloat CGColorGetAlpha(CGColorRef color);
CGColorSpaceRef CGColorGetColorSpace(CGColorRef color);

// --- Data providers ---
typedef void (*CGDataProviderReleaseDataCallback)(void* info, const void* data, size_t size);
// The provider reads `data` in place; `release` (if any) is called when the provider goes.
CGDataProviderRef CGDataProviderCreateWithData(void* info, const void* data, size_t size,
                                               CGDataProviderReleaseDataCallback release);
CGDataProviderRef CGDataProviderRetain(CGDataProviderRef provider);
void CGDataProviderRelease(CGDataProviderRef provider);

// --- Images ---
// 8 bits per component: RGB with 24 bits per pixel and no alpha, or 32 bits with alpha (or a
// skipped byte) first or last, premultiplied or not, in either 32-bit byte order; grey with 8
// bits and no alpha, or 16 bits with alpha last. Anything else, or a provider with too few
// bytes, gives NULL. The pixels are copied: the provider may go afterwards.
CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                         size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                         CGDataProviderRef provider, const CGFloat* decode, bool shouldInterpolate,
                         CGColorRenderingIntent intent);
CGImageRef CGImageRetain(CGImageRef image);
void CGImageRelease(CGImageRef image);
size_t CGImageGetWidth(CGImageRef image);
size_t CGImageGetHeight(CGImageRef image);
size_t CGImageGetBitsPerComponent(CGImageRef image);
size_t CGImageGetBitsPerPixel(CGImageRef image);
size_t CGImageGetBytesPerRow(CGImageRef image);
CGColorSpaceRef CGImageGetColorSpace(CGImageRef image);
CGImageAlphaInfo CGImageGetAlphaInfo(CGImageRef image);
CGBitmapInfo CGImageGetBitmapInfo(CGImageRef image);

// --- Bitmap contexts ---
CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent,
                                   size_t bytesPerRow, CGColorSpaceRef space, uint32_t bitmapInfo);
CGContextRef CGContextRetain(CGContextRef context);
void CGContextRelease(CGContextRef context);
void* CGBitmapContextGetData(CGContextRef context);
size_t CGBitmapContextGetWidth(CGContextRef context);
size_t CGBitmapContextGetHeight(CGContextRef context);
size_t CGBitmapContextGetBytesPerRow(CGContextRef context);
CGImageRef CGBitmapContextCreateImage(CGContextRef context);  // a copy of the pixels
void CGContextDrawImage(CGContextRef context, CGRect rect, CGImageRef image);

}  // extern "C"

// For hosts and tests: a colour with exactly `count` components (alpha last, count >= 1), in
// device grey for 2, device RGB for 4, device CMYK for 5, and otherwise in a colour space of
// unknown model with count - 1 components. On the device such colours come from colour spaces
// this stand-in does not model (patterns, Lab, ...); what product code sees is the count.
namespace cg_host {
CGColorRef createColorWithComponents(const CGFloat* components, size_t count);
}  // namespace cg_host

// So that methods taking or answering these can be defined with ClassBuilder.
template <>
struct TypeEncoding<CGColorRef> {
  static std::string get() { return "^{CGColor=}"; }
};
template <>
struct TypeEncoding<CGImageRef> {
  static std::string get() { return "^{CGImage=}"; }
};
