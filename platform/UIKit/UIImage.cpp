#include <Foundation/ObjectState.h>
#include <UIKit/UIImage.h>
#include <device/device.h>
#include <device/journal.h>
#include <device/screen.h>

#include "image_codecs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

struct ImageState : ns::ObjectState {
  CGImageRef image = nullptr;
  double scale = 1.0;
  UIImageOrientation orientation = UIImageOrientationUp;
  const char* madeFrom = "";  // "data", "file" or "CGImage"
  std::string assetName;      // the name imageNamed: found it by; empty otherwise
  ~ImageState() override { CGImageRelease(image); }
};

ImageState* imageState(id image) {
  return ns::stateOf<ImageState>(image);
}

void freePixels(void* samples, const void*, size_t) {
  delete static_cast<std::vector<uint8_t>*>(samples);
}

// Decodes image bytes into a CGImage; nullptr when they are no image the device reads.
CGImageRef decode(const std::vector<uint8_t>& bytes) {
  uikit::codecs::Pixels pixels;
  if (!uikit::codecs::decode(bytes.data(), bytes.size(), pixels)) return nullptr;
  auto* samples = new std::vector<uint8_t>(std::move(pixels.samples));
  size_t rowBytes = static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.channels);
  CGDataProviderRef provider =
      CGDataProviderCreateWithData(samples, samples->data(), samples->size(), freePixels);
  bool gray = pixels.channels <= 2;
  CGColorSpaceRef space = gray ? CGColorSpaceCreateDeviceGray() : CGColorSpaceCreateDeviceRGB();
  CGBitmapInfo info =
      pixels.channels == 2 || pixels.channels == 4 ? kCGImageAlphaLast : kCGImageAlphaNone;
  CGImageRef image =
      CGImageCreate(pixels.width, pixels.height, 8, static_cast<size_t>(pixels.channels) * 8,
                    rowBytes, space, info, provider, nullptr, false, kCGRenderingIntentDefault);
  CGColorSpaceRelease(space);
  CGDataProviderRelease(provider);
  return image;
}

bool readFile(const std::string& devicePath, std::vector<uint8_t>& bytes) {
  std::ifstream file(device::hostPath(devicePath), std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

// "icon@2x.png" is drawn at scale 2.
double scaleFromName(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  name = name.substr(0, name.find_last_of('.'));
  if (name.size() > 3 && name.compare(name.size() - 3, 3, "@2x") == 0) return 2.0;
  if (name.size() > 3 && name.compare(name.size() - 3, 3, "@3x") == 0) return 3.0;
  return 1.0;
}

bool usableScale(double scale) {
  return std::isfinite(scale) && scale > 0;
}

std::unique_ptr<ImageState> stateFor(CGImageRef image, double scale,
                                     UIImageOrientation orientation) {
  auto state = std::make_unique<ImageState>();
  state->image = image;  // adopted
  state->scale = usableScale(scale) ? scale : 1.0;
  state->orientation = orientation;
  return state;
}

// The init methods below own `self`: they give it back filled, or release it and answer nil.
id initWithCGImageScale(id self, SEL, CGImageRef image, double scale,
                        UIImageOrientation orientation) {
  if (image == nullptr) {
    ns::release(self);
    return nil;
  }
  ns::setObjectState(self, stateFor(CGImageRetain(image), scale, orientation));
  imageState(self)->madeFrom = "CGImage";
  return self;
}
id initWithCGImage(id self, SEL, CGImageRef image) {
  return initWithCGImageScale(self, nullptr, image, 1.0, UIImageOrientationUp);
}
id initWithDataScale(id self, SEL, id data, double scale) {
  CGImageRef image = data == nil ? nullptr : decode(ns::bytes(data));
  if (image == nullptr) {
    ns::release(self);
    return nil;
  }
  ns::setObjectState(self, stateFor(image, scale, UIImageOrientationUp));
  imageState(self)->madeFrom = "data";
  return self;
}
id initWithData(id self, SEL, id data) {
  return initWithDataScale(self, nullptr, data, 1.0);
}
id initWithContentsOfFile(id self, SEL, id path) {
  std::vector<uint8_t> bytes;
  CGImageRef image = nullptr;
  if (path != nil && readFile(ns::utf8(path), bytes)) image = decode(bytes);
  if (image == nullptr) {
    ns::release(self);
    return nil;
  }
  ns::setObjectState(self, stateFor(image, scaleFromName(ns::utf8(path)), UIImageOrientationUp));
  imageState(self)->madeFrom = "file";
  return self;
}

id allocate(id cls) {
  return msgSend(cls, sel("alloc"));
}
id imageWithData(id self, SEL, id data) {
  return ns::autorelease(initWithData(allocate(self), nullptr, data));
}
id imageWithDataScale(id self, SEL, id data, double scale) {
  return ns::autorelease(initWithDataScale(allocate(self), nullptr, data, scale));
}
id imageWithContentsOfFile(id self, SEL, id path) {
  return ns::autorelease(initWithContentsOfFile(allocate(self), nullptr, path));
}
id imageWithCGImage(id self, SEL, CGImageRef image) {
  return ns::autorelease(initWithCGImage(allocate(self), nullptr, image));
}
id imageWithCGImageScale(id self, SEL, CGImageRef image, double scale,
                         UIImageOrientation orientation) {
  return ns::autorelease(initWithCGImageScale(allocate(self), nullptr, image, scale, orientation));
}
id imageNamedInBundleTraits(id self, SEL, id name, id bundle, id) {
  if (name == nil || bundle == nil) return nil;
  std::string asset = ns::utf8(name);
  std::string folder = ns::utf8(msgSend(bundle, sel("bundlePath")));
  for (const std::string& file : uikit::imageFileCandidates(asset, device::screenScale())) {
    id image = imageWithContentsOfFile(self, nullptr, ns::string(folder + "/" + file));
    if (image == nil) continue;
    imageState(image)->assetName = uikit::imageAssetBaseName(asset);
    return image;
  }
  return nil;
}
id imageNamedInBundle(id self, SEL, id name, id bundle) {
  return imageNamedInBundleTraits(self, nullptr, name, bundle, nil);
}

CGImageRef cgImage(id self, SEL) {
  ImageState* state = imageState(self);
  return state == nullptr ? nullptr : state->image;
}
double scale(id self, SEL) {
  ImageState* state = imageState(self);
  return state == nullptr ? 1.0 : state->scale;
}
UIImageOrientation imageOrientation(id self, SEL) {
  ImageState* state = imageState(self);
  return state == nullptr ? UIImageOrientationUp : state->orientation;
}
CGSize size(id self, SEL) {
  ImageState* state = imageState(self);
  if (state == nullptr || state->image == nullptr) return CGSize{0, 0};
  double width = static_cast<double>(CGImageGetWidth(state->image)) / state->scale;
  double height = static_cast<double>(CGImageGetHeight(state->image)) / state->scale;
  switch (state->orientation) {
    case UIImageOrientationLeft:
    case UIImageOrientationRight:
    case UIImageOrientationLeftMirrored:
    case UIImageOrientationRightMirrored:
      return CGSize{height, width};
    default:
      return CGSize{width, height};
  }
}

__attribute__((constructor)) void registerUIImage() {
  ClassBuilder builder("UIImage", ns::classNamed("NSObject"));
  if (!builder) return;
  builder.classMethod("imageWithData:", imageWithData)
      .classMethod("imageWithData:scale:", imageWithDataScale)
      .classMethod("imageWithContentsOfFile:", imageWithContentsOfFile)
      .classMethod("imageWithCGImage:", imageWithCGImage)
      .classMethod("imageWithCGImage:scale:orientation:", imageWithCGImageScale)
      .classMethod("imageNamed:inBundle:compatibleWithTraitCollection:", imageNamedInBundleTraits)
      .classMethod("imageNamed:inBundle:", imageNamedInBundle)
      .method("initWithData:", initWithData)
      .method("initWithData:scale:", initWithDataScale)
      .method("initWithContentsOfFile:", initWithContentsOfFile)
      .method("initWithCGImage:", initWithCGImage)
      .method("initWithCGImage:scale:orientation:", initWithCGImageScale)
      .method("CGImage", cgImage)
      .method("size", size)
      .method("scale", scale)
      .method("imageOrientation", imageOrientation)
      .register_();
}

// The image's pixels as straight (unpremultiplied) RGBA, top row first.
bool straightPixels(id image, std::vector<uint8_t>& rgba, int& width, int& height) {
  ImageState* state = imageState(image);
  if (state == nullptr || state->image == nullptr) return false;
  size_t w = CGImageGetWidth(state->image);
  size_t h = CGImageGetHeight(state->image);
  if (w > INT32_MAX / 4 || h > INT32_MAX / 4) return false;
  rgba.assign(w * h * 4, 0);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef context =
      CGBitmapContextCreate(rgba.data(), w, h, 8, w * 4, space, kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  if (context == nullptr) return false;
  CGContextDrawImage(context, CGRectMake(0, 0, static_cast<double>(w), static_cast<double>(h)),
                     state->image);
  CGContextRelease(context);
  for (size_t i = 0; i < rgba.size(); i += 4) {
    unsigned a = rgba[i + 3];
    for (int c = 0; c < 3; ++c) {
      rgba[i + c] =
          a == 0 ? 0 : static_cast<uint8_t>(std::min(255u, (rgba[i + c] * 255u + a / 2) / a));
    }
  }
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

// The journal's witness of an encoder call: what it was asked for and what it gave.
void recordEncode(const char* format, nlohmann::ordered_json quality, id encoded) {
  journal::record("encode",
                  {{"format", format},
                   {"quality", std::move(quality)},
                   {"bytes", encoded != nil ? nlohmann::ordered_json(ns::bytes(encoded).size())
                                            : nlohmann::ordered_json()}});
}

}  // namespace

extern "C" __attribute__((visibility("default"))) id UIImagePNGRepresentation(id image) {
  std::vector<uint8_t> rgba, encoded;
  int width = 0, height = 0;
  id result = nil;
  if (straightPixels(image, rgba, width, height) &&
      uikit::codecs::encodePNG(rgba.data(), static_cast<uint32_t>(width),
                               static_cast<uint32_t>(height), encoded)) {
    result = ns::data(encoded.data(), encoded.size());
  }
  recordEncode("png", nullptr, result);
  return result;
}

// The quality maps onto libjpeg's scale: round(q x 100), at least 1; a quality outside 0 to 1 is
// taken as the nearest end, and one that is no number as 1.0.
extern "C" __attribute__((visibility("default"))) id UIImageJPEGRepresentation(
    id image, CGFloat compressionQuality) {
  std::vector<uint8_t> rgba, rgb, encoded;
  int width = 0, height = 0;
  double quality =
      std::isfinite(compressionQuality) ? std::clamp(compressionQuality, 0.0, 1.0) : 1.0;
  id result = nil;
  if (straightPixels(image, rgba, width, height)) {
    rgb.reserve(rgba.size() / 4 * 3);
    for (size_t i = 0; i < rgba.size(); i += 4) {  // colour over black
      for (int c = 0; c < 3; ++c) {
        unsigned t = rgba[i + c] * rgba[i + 3] + 128u;
        rgb.push_back(static_cast<uint8_t>((t + (t >> 8)) >> 8));
      }
    }
    int level = std::max(1, static_cast<int>(std::lround(quality * 100.0)));
    if (uikit::codecs::encodeJPEG(rgb.data(), static_cast<uint32_t>(width),
                                  static_cast<uint32_t>(height), level, encoded)) {
      result = ns::data(encoded.data(), encoded.size());
    }
  }
  recordEncode("jpeg",
               std::isfinite(compressionQuality) ? nlohmann::ordered_json(compressionQuality)
                                                 : nlohmann::ordered_json(),
               result);
  return result;
}

std::string uikit::imageMadeFrom(id image) {
  ImageState* state = imageState(image);
  return state != nullptr ? state->madeFrom : "";
}

std::string uikit::imageAssetName(id image) {
  ImageState* state = imageState(image);
  return state != nullptr ? state->assetName : std::string();
}
