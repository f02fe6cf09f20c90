// UIImage, as the product uses it.
//
// Mirrors: +imageWithData:, +imageWithData:scale:, -initWithData:, -initWithData:scale:,
// +imageWithContentsOfFile:, -initWithContentsOfFile:, +imageWithCGImage:,
// +imageWithCGImage:scale:orientation:, -initWithCGImage:,
// +imageNamed:inBundle:compatibleWithTraitCollection: (and the short +imageNamed:inBundle:),
// -CGImage, -size, -scale, -imageOrientation; UIImagePNGRepresentation and
// UIImageJPEGRepresentation.
//
// Faithful: PNG, JPEG and GIF (its first frame) are decoded (with stb); bytes that are no such
// image, or that declare more than 8192 x 8192 pixels, give nil, never a crash. The size is in
// points: the pixel size divided by the scale, with width and height swapped for the left and
// right orientations. An image made from data has scale 1 unless one is given; a file whose name
// ends in "@2x" or "@3x" (before the extension) has that scale. Grey images (one or two
// channels) have a grey colour space, others device RGB. Files are device paths, mapped under
// the device root.
// imageNamed:inBundle: looks for NAME@3x.png, NAME@2x.png and NAME.png in the bundle, the
// screen's own scale first (device/screen.h), then the larger scales, then the smaller (a name
// ending in ".png" has the scale put before the extension; a name without an extension means
// PNG); the image's scale is the one of the file found; nil when none is there.
// Simplified: the bundle given to imageNamed:inBundle: is asked only for its bundlePath; a nil
// bundle answers nil; the trait collection is not used.
// PNG data is always 8-bit RGBA; JPEG data drops alpha as the device does (colour over black).
#pragma once

#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/Foundation.h>

typedef long UIImageOrientation;
constexpr UIImageOrientation UIImageOrientationUp = 0;
constexpr UIImageOrientation UIImageOrientationDown = 1;
constexpr UIImageOrientation UIImageOrientationLeft = 2;
constexpr UIImageOrientation UIImageOrientationRight = 3;
constexpr UIImageOrientation UIImageOrientationUpMirrored = 4;
constexpr UIImageOrientation UIImageOrientationDownMirrored = 5;
constexpr UIImageOrientation UIImageOrientationLeftMirrored = 6;
constexpr UIImageOrientation UIImageOrientationRightMirrored = 7;

#include <string>
#include <vector>

namespace uikit {
// The files imageNamed: tries for `name`, in order, on a screen of scale `screenScale`.
std::vector<std::string> imageFileCandidates(const std::string& name, double screenScale);
// "safari" for "safari" and "safari.png": the name without a ".png" extension.
std::string imageAssetBaseName(const std::string& name);
// The name imageNamed:… found the image by (without scale or extension); "" for an image made
// otherwise, and for nil.
std::string imageAssetName(id image);
}  // namespace uikit

// Encoded image bytes (autoreleased NSData), or nil for a nil image or one that cannot be
// encoded. `compressionQuality` runs from 0.0 (smallest) to 1.0 (best).
extern "C" id UIImagePNGRepresentation(id image);
extern "C" id UIImageJPEGRepresentation(id image, CGFloat compressionQuality);
