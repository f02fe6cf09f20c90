// UIImage, as the product uses it.
//
// Mirrors: +imageWithData:, +imageWithData:scale:, -initWithData:, -initWithData:scale:,
// +imageWithContentsOfFile:, -initWithContentsOfFile:, +imageWithCGImage:,
// +imageWithCGImage:scale:orientation:, -initWithCGImage:,
// +imageNamed:inBundle:compatibleWithTraitCollection: (and the short +imageNamed:inBundle:),
// -CGImage, -size, -scale, -imageOrientation; UIImagePNGRepresentation and
// UIImageJPEGRepresentation.
//
// Faithful: PNG, JPEG, GIF (its first frame), TIFF, HEIC, BMP, ICO and CUR are decoded, each
// through a maintained library (see image_codecs.h); bytes that are no such image, that are
// damaged, or that declare more than 100 megapixels (or a side over 32768) give nil, never a
// crash. UIImagePNGRepresentation writes with libpng, UIImageJPEGRepresentation with
// libjpeg-turbo at quality round(q x 100) (at least 1; q clamped to 0...1; a q that is no number
// counts as 1.0). The size is in points: the pixel size divided by the scale, with width and
// height swapped for the left and right orientations. An image made from data has scale 1 unless
// one is given; a file whose name ends in "@2x" or "@3x" (before the extension) has that scale.
// Grey images (one or two channels) have a grey colour space, others device RGB. Files are
// device paths, mapped under the device root.
// imageNamed:inBundle: looks for NAME@3x.png, NAME@2x.png and NAME.png in the bundle, the
// screen's own scale first (device/screen.h), then the larger scales, then the smaller (a name
// ending in ".png" has the scale put before the extension; a name without an extension means
// PNG); the image's scale is the one of the file found; nil when none is there.
// Simplified: the bundle given to imageNamed:inBundle: is asked only for its bundlePath; a nil
// bundle answers nil; the trait collection is not used.
// PNG data is always 8-bit RGBA; JPEG data drops alpha as the device does (colour over black).
//
// Journal: each encoder call records "encode" {format: "png"|"jpeg", quality (the q asked for;
// null for PNG or a q that is no number), bytes (the length written; null when nothing was)}.
#pragma once

#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/Foundation.h>

#include <string>

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

namespace uikit {
// For hosts: what an image was made from: "data", "file", "CGImage"; "" for nil.
std::string imageMadeFrom(id image);
}  // namespace uikit
