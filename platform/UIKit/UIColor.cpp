#include <Foundation/ObjectState.h>
#include <UIKit/UIColor.h>

#include <cstdio>
#include <string>
#include <vector>

template <>
struct TypeEncoding<double*> {
  static std::string get() { return "^d"; }
};

namespace {

struct ColorState : ns::ObjectState {
  CGColorRef color = nullptr;
  ~ColorState() override { CGColorRelease(color); }
};

CGColorRef cgColorOf(id color) {
  ColorState* state = ns::stateOf<ColorState>(color);
  return state == nullptr ? nullptr : state->color;
}

std::unique_ptr<ns::ObjectState> stateWith(std::vector<CGFloat> components) {
  CGColorSpaceRef space =
      components.size() == 2 ? CGColorSpaceCreateDeviceGray() : CGColorSpaceCreateDeviceRGB();
  auto state = std::make_unique<ColorState>();
  state->color = CGColorCreate(space, components.data());
  CGColorSpaceRelease(space);
  return state;
}

id newColor(id cls, std::vector<CGFloat> components) {
  return ns::newObject(reinterpret_cast<Class>(cls), stateWith(std::move(components)));
}

id colorWithRGBA(id self, SEL, double red, double green, double blue, double alpha) {
  return ns::autorelease(newColor(self, {red, green, blue, alpha}));
}
id colorWithWhite(id self, SEL, double white, double alpha) {
  return ns::autorelease(newColor(self, {white, alpha}));
}
id colorWithCGColor(id self, SEL, CGColorRef color) {
  if (color == nullptr) return nil;
  auto state = std::make_unique<ColorState>();
  state->color = CGColorRetain(color);
  return ns::autorelease(ns::newObject(reinterpret_cast<Class>(self), std::move(state)));
}
id initWithRGBA(id self, SEL, double red, double green, double blue, double alpha) {
  ns::setObjectState(self, stateWith({red, green, blue, alpha}));
  return self;
}
id initWithWhite(id self, SEL, double white, double alpha) {
  ns::setObjectState(self, stateWith({white, alpha}));
  return self;
}

// The named colours: one immortal object each.
#define PLINKA_NAMED_COLOR(function, ...)                                                   \
  id function(id self, SEL) {                                                               \
    static id shared = ns::makeImmortal(newColor(self, std::vector<CGFloat>{__VA_ARGS__})); \
    return shared;                                                                          \
  }
PLINKA_NAMED_COLOR(blackColor, 0.0, 1.0)
PLINKA_NAMED_COLOR(whiteColor, 1.0, 1.0)
PLINKA_NAMED_COLOR(grayColor, 0.5, 1.0)
PLINKA_NAMED_COLOR(lightGrayColor, 2.0 / 3.0, 1.0)
PLINKA_NAMED_COLOR(darkGrayColor, 1.0 / 3.0, 1.0)
PLINKA_NAMED_COLOR(clearColor, 0.0, 0.0)
PLINKA_NAMED_COLOR(redColor, 1.0, 0.0, 0.0, 1.0)
PLINKA_NAMED_COLOR(greenColor, 0.0, 1.0, 0.0, 1.0)
PLINKA_NAMED_COLOR(blueColor, 0.0, 0.0, 1.0, 1.0)
PLINKA_NAMED_COLOR(yellowColor, 1.0, 1.0, 0.0, 1.0)
PLINKA_NAMED_COLOR(systemGrayColor, 142.0 / 255.0, 142.0 / 255.0, 147.0 / 255.0, 1.0)
#undef PLINKA_NAMED_COLOR

CGColorRef cgColor(id self, SEL) {
  return cgColorOf(self);
}

BOOL getRGBA(id self, SEL, double* red, double* green, double* blue, double* alpha) {
  CGColorRef color = cgColorOf(self);
  size_t count = CGColorGetNumberOfComponents(color);
  const CGFloat* c = CGColorGetComponents(color);
  if (count != 2 && count != 4) return NO;
  double rgba[4] = {c[0], count == 4 ? c[1] : c[0], count == 4 ? c[2] : c[0], c[count - 1]};
  if (red != nullptr) *red = rgba[0];
  if (green != nullptr) *green = rgba[1];
  if (blue != nullptr) *blue = rgba[2];
  if (alpha != nullptr) *alpha = rgba[3];
  return YES;
}
BOOL getWhite(id self, SEL, double* white, double* alpha) {
  CGColorRef color = cgColorOf(self);
  if (CGColorGetNumberOfComponents(color) != 2) return NO;
  const CGFloat* c = CGColorGetComponents(color);
  if (white != nullptr) *white = c[0];
  if (alpha != nullptr) *alpha = c[1];
  return YES;
}

id colorWithAlphaComponent(id self, SEL, double alpha) {
  CGColorRef color = cgColorOf(self);
  const CGFloat* c = CGColorGetComponents(color);
  std::vector<CGFloat> components(c, c + CGColorGetNumberOfComponents(color));
  if (components.empty()) return nil;
  components.back() = alpha;
  return ns::autorelease(newColor(asId(object_getClass(self)), std::move(components)));
}

BOOL isEqual(id self, SEL, id other) {
  if (self == other) return YES;
  CGColorRef a = cgColorOf(self);
  CGColorRef b = cgColorOf(other);
  if (a == nullptr || b == nullptr) return NO;
  size_t count = CGColorGetNumberOfComponents(a);
  if (count != CGColorGetNumberOfComponents(b)) return NO;
  for (size_t i = 0; i < count; ++i) {
    if (CGColorGetComponents(a)[i] != CGColorGetComponents(b)[i]) return NO;
  }
  return YES;
}
NSUInteger hash(id self, SEL) {
  CGColorRef color = cgColorOf(self);
  NSUInteger value = CGColorGetNumberOfComponents(color);
  for (size_t i = 0; i < CGColorGetNumberOfComponents(color); ++i) {
    value = value * 31 + static_cast<NSUInteger>(CGColorGetComponents(color)[i] * 255.0);
  }
  return value;
}

// As on the device: "UIExtendedGrayColorSpace 1 1", "UIExtendedSRGBColorSpace 1 0 0 1".
id description(id self, SEL) {
  CGColorRef color = cgColorOf(self);
  size_t count = CGColorGetNumberOfComponents(color);
  std::string text = count == 2 ? "UIExtendedGrayColorSpace" : "UIExtendedSRGBColorSpace";
  for (size_t i = 0; i < count; ++i) {
    char number[32];
    std::snprintf(number, sizeof number, " %g", CGColorGetComponents(color)[i]);
    text += number;
  }
  return ns::string(text);
}

__attribute__((constructor)) void registerUIColor() {
  ClassBuilder builder("UIColor", ns::classNamed("NSObject"));
  if (!builder) return;
  builder.classMethod("colorWithRed:green:blue:alpha:", colorWithRGBA)
      .classMethod("colorWithWhite:alpha:", colorWithWhite)
      .classMethod("colorWithCGColor:", colorWithCGColor)
      .classMethod("blackColor", blackColor)
      .classMethod("whiteColor", whiteColor)
      .classMethod("grayColor", grayColor)
      .classMethod("lightGrayColor", lightGrayColor)
      .classMethod("darkGrayColor", darkGrayColor)
      .classMethod("clearColor", clearColor)
      .classMethod("redColor", redColor)
      .classMethod("greenColor", greenColor)
      .classMethod("blueColor", blueColor)
      .classMethod("yellowColor", yellowColor)
      .classMethod("systemGrayColor", systemGrayColor)
      .method("initWithRed:green:blue:alpha:", initWithRGBA)
      .method("initWithWhite:alpha:", initWithWhite)
      .method("CGColor", cgColor)
      .method("getRed:green:blue:alpha:", getRGBA)
      .method("getWhite:alpha:", getWhite)
      .method("colorWithAlphaComponent:", colorWithAlphaComponent)
      .method("isEqual:", isEqual)
      .method("hash", hash)
      .method("description", description)
      .register_();
}

}  // namespace
