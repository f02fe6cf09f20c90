// ZELColor: colour helpers for the settings pane.
//
// ZELColor is a class of the object runtime, registered when libpkprefs3 loads, with no state
// and three class methods:
//
//   +dominantColorFromIcon:          a UIImage in, an opaque UIColor out: the average colour of
//                                    the icon's mid-tone pixels (every third pixel of the icon
//                                    drawn at its size in points, premultiplied, counted when
//                                    its luminance 0.299 R + 0.587 G + 0.114 B lies strictly
//                                    between 20 and 230); opaque black when no pixel counts, for
//                                    an empty or nil image, and when no bitmap can be made
//   +textColorForBackgroundColor:    [UIColor blackColor] on a background whose brightness is
//                                    200 or more (of 255), [UIColor whiteColor] otherwise and
//                                    for colours that are neither grey nor RGB
//   +randomColor                     an opaque colour whose red, green and blue are each one of
//                                    0, 1/255, ... 254/255
//
// The static functions below send the same messages for C++ callers.
#pragma once

#include <Foundation/Foundation.h>

class __attribute__((visibility("default"))) ZELColor {
 public:
  static Class runtimeClass();  // the registered class

  static id dominantColorFromIcon(id icon);
  static id textColorForBackgroundColor(id color);
  static id randomColor();
};
