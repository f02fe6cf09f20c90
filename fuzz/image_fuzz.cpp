// Image bytes of any kind through +[UIImage imageWithData:], then the settings pane's
// +[ZELColor dominantColorFromIcon:] on what decodes: an image or nil, never a crash, and a
// colour for every image.
#include <Foundation/Foundation.h>
#include <UIKit/UIImage.h>
#include <pkprefs3/ZELColor.h>

#include <cstdio>
#include <cstdlib>

#include "fuzz_device.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ns::AutoreleasePool pool;
  id bytes = ns::data(data, size);
  id image = msgSend(cls("UIImage"), sel("imageWithData:"), bytes);
  if (image == nil) return 0;
  id colour = msgSend(asId(ZELColor::runtimeClass()), sel("dominantColorFromIcon:"), image);
  if (colour == nil) {
    std::fprintf(stderr, "an image that decoded has no dominant colour\n");
    std::abort();
  }
  return 0;
}
