// CALayer, as views and the product's cells use it.
//
// Mirrors: -cornerRadius / -setCornerRadius:, -borderWidth / -setBorderWidth:, -borderColor /
// -setBorderColor:, -masksToBounds / -setMasksToBounds:.
//
// Faithful: every view has a layer of its own; a view's clipsToBounds is its layer's
// masksToBounds (one flag, read and written through either); the border colour is a CGColorRef
// the layer retains and releases when it is replaced or the layer goes. Initial values: corner
// radius 0, border width 0, no border colour, masksToBounds NO. Simplified: nothing is drawn;
// no sublayers, frames or animations.
#pragma once

#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/Foundation.h>

namespace quartzcore {
// Registers CALayer (idempotent; done when this library loads).
void registerLayerClass();
}  // namespace quartzcore
