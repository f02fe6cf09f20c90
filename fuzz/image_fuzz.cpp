// Image bytes of any kind as the settings pane meets them: through ZELParseImage (the picker's
// and the preview's reading of a stored or picked picture, +[UIImage imageWithData:] behind it),
// then stored again as the picker stores a pick (JPEG at a quality, or PNG), and the icon's
// +[ZELColor dominantColorFromIcon:].
//
// Checked beyond "no crash": every picture that decodes can be stored both ways, what is stored
// decodes again to the same size, and it has a dominant colour.
#include <Foundation/Foundation.h>
#include <UIKit/UIImage.h>
#include <pkprefs3/ZELColor.h>
#include <pkprefs3/ZELImagePickerCell.h>

#include <cstdio>
#include <cstdlib>

#include "fuzz_device.h"

namespace {

CGSize sizeOf(id image) {
  return msgSend<CGSize>(image, sel("size"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ns::AutoreleasePool pool;
  id image = ZELParseImage(ns::data(data, size));
  if (image == nil) return 0;
  id colour = msgSend(asId(ZELColor::runtimeClass()), sel("dominantColorFromIcon:"), image);
  fuzzing::require(colour != nil, "an image that decoded has no dominant colour");
  CGSize shape = sizeOf(image);
  // Storing a picture of many megapixels takes seconds in this instrumented build and reaches no
  // code a smaller one does not; the decoders above still meet every size.
  if (shape.width * shape.height > 4e6) return 0;
  // The quality a row may ask for, from 0 to 1, taken from the input.
  double quality = static_cast<double>(size % 11) / 10.0;
  for (id stored : {UIImageJPEGRepresentation(image, quality), UIImagePNGRepresentation(image)}) {
    fuzzing::require(stored != nil, "a picture that decoded cannot be stored");
    id again = ZELParseImage(stored);
    fuzzing::require(again != nil, "a stored picture does not decode");
    CGSize storedShape = sizeOf(again);
    fuzzing::require(storedShape.width == shape.width && storedShape.height == shape.height,
                     "a stored picture changed its size");
  }
  return 0;
}
