#include "objects.h"

#define CG_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

CGColorSpaceRef newSpace(CGColorSpaceModel model, size_t components) {
  auto* space = new CGColorSpace;
  space->model = model;
  space->components = components;
  return space;
}

}  // namespace

CG_EXPORT CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void) {
  return newSpace(kCGColorSpaceModelRGB, 3);
}
CG_EXPORT CGColorSpaceRef CGColorSpaceCreateDeviceGray(void) {
  return newSpace(kCGColorSpaceModelMonochrome, 1);
}
CG_EXPORT CGColorSpaceRef CGColorSpaceCreateDeviceCMYK(void) {
  return newSpace(kCGColorSpaceModelCMYK, 4);
}
CG_EXPORT CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space) {
  return cg::retain(space);
}
CG_EXPORT void CGColorSpaceRelease(CGColorSpaceRef space) {
  cg::release(space);
}
CG_EXPORT size_t CGColorSpaceGetNumberOfComponents(CGColorSpaceRef space) {
  return space == nullptr ? 0 : space->components;
}
CG_EXPORT CGColorSpaceModel CGColorSpaceGetModel(CGColorSpaceRef space) {
  return space == nullptr ? kCGColorSpaceModelUnknown : space->model;
}

CG_EXPORT CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat* components) {
  if (space == nullptr || components == nullptr) return nullptr;
  auto* color = new CGColor;
  color->space = cg::retain(space);
  color->components.assign(components, components + CGColorSpaceGetNumberOfComponents(space) + 1);
  return color;
}
CG_EXPORT CGColorRef CGColorRetain(CGColorRef color) {
  return cg::retain(color);
}
CG_EXPORT void CGColorRelease(CGColorRef color) {
  cg::release(color);
}
CG_EXPORT size_t CGColorGetNumberOfComponents(CGColorRef color) {
  return color == nullptr ? 0 : color->components.size();
}
CG_EXPORT const CGFloat* CGColorGetComponents(CGColorRef color) {
  return color == nullptr ? nullptr : color->components.data();
}
CG_EXPORT CGFloat CGColorGetAlpha(CGColorRef color) {
  return color == nullptr || color->components.empty() ? 0.0 : color->components.back();
}
CG_EXPORT CGColorSpaceRef CGColorGetColorSpace(CGColorRef color) {
  return color == nullptr ? nullptr : color->space;
}

namespace cg_host {

__attribute__((visibility("default"))) CGColorRef createColorWithComponents(
    const CGFloat* components, size_t count) {
  if (components == nullptr || count == 0) return nullptr;
  CGColorSpaceRef space = count == 2   ? newSpace(kCGColorSpaceModelMonochrome, 1)
                          : count == 4 ? newSpace(kCGColorSpaceModelRGB, 3)
                          : count == 5 ? newSpace(kCGColorSpaceModelCMYK, 4)
                                       : newSpace(kCGColorSpaceModelUnknown, count - 1);
  CGColorRef color = CGColorCreate(space, components);
  CGColorSpaceRelease(space);
  return color;
}

}  // namespace cg_host
