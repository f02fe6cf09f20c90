#include <Foundation/ObjectState.h>
#include <QuartzCore/CALayer.h>

namespace quartzcore {
namespace {

struct LayerState : ns::ObjectState {
  CGFloat cornerRadius = 0;
  CGFloat borderWidth = 0;
  CGColorRef borderColor = nullptr;  // retained
  BOOL masksToBounds = NO;
  ~LayerState() override { CGColorRelease(borderColor); }
};

LayerState& layer(id self) {
  LayerState* state = ns::stateOf<LayerState>(self);
  if (state == nullptr) {
    auto fresh = std::make_unique<LayerState>();
    state = fresh.get();
    ns::setObjectState(self, std::move(fresh));
  }
  return *state;
}

id initLayer(id self, SEL) {
  layer(self);
  return self;
}
CGFloat cornerRadius(id self, SEL) {
  return layer(self).cornerRadius;
}
void setCornerRadius(id self, SEL, CGFloat value) {
  layer(self).cornerRadius = value;
}
CGFloat borderWidth(id self, SEL) {
  return layer(self).borderWidth;
}
void setBorderWidth(id self, SEL, CGFloat value) {
  layer(self).borderWidth = value;
}
CGColorRef borderColor(id self, SEL) {
  return layer(self).borderColor;
}
void setBorderColor(id self, SEL, CGColorRef color) {
  LayerState& state = layer(self);
  CGColorRef old = state.borderColor;
  state.borderColor = color != nullptr ? CGColorRetain(color) : nullptr;
  CGColorRelease(old);
}
BOOL masksToBounds(id self, SEL) {
  return layer(self).masksToBounds;
}
void setMasksToBounds(id self, SEL, BOOL value) {
  layer(self).masksToBounds = value ? YES : NO;
}

__attribute__((constructor)) void loadLayerClass() {
  registerLayerClass();
}

}  // namespace

void registerLayerClass() {
  static const bool done = [] {
    ClassBuilder("CALayer", ns::classNamed("NSObject"))
        .method("init", initLayer)
        .method("cornerRadius", cornerRadius)
        .method("setCornerRadius:", setCornerRadius)
        .method("borderWidth", borderWidth)
        .method("setBorderWidth:", setBorderWidth)
        .method("borderColor", borderColor)
        .method("setBorderColor:", setBorderColor)
        .method("masksToBounds", masksToBounds)
        .method("setMasksToBounds:", setMasksToBounds)
        .register_();
    return true;
  }();
  (void)done;
}

}  // namespace quartzcore
