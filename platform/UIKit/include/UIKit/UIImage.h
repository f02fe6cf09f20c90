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
// Simplified: the bundle given to imageNamed:inBundle: is asked only for its bundlePath; the
// name is tried as given, then with "@3x.png", "@2x.png" and ".png"; nil bundle answers nil.
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

// Encoded image bytes (autoreleased NSData), or nil for a nil image or one that cannot be
// encoded. `compressionQuality` runs from 0.0 (smallest) to 1.0 (best).
extern "C" id UIImagePNGRepresentation(id image);
extern "C" id UIImageJPEGRepresentation(id image, CGFloat compressionQuality);
