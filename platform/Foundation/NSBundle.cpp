// NSBundle: a folder of the device, found by its path.
#include <Foundation/ObjectState.h>
#include <device/device.h>

#include <filesystem>

#include "internal.h"

namespace ns {
namespace {

struct BundleState : ObjectState {
  std::string path;  // the device path as given
};

id makeBundle(Class cls, id path) {
  if (path == nil) return nil;
  std::string devicePath = utf8(path);
  std::error_code error;
  if (devicePath.empty() || !std::filesystem::is_directory(device::hostPath(devicePath), error)) {
    return nil;
  }
  auto state = std::make_unique<BundleState>();
  state->path = devicePath;
  return newObject(cls, std::move(state));
}

id classBundleWithPath(id self, SEL, id path) {
  return autorelease(makeBundle(reinterpret_cast<Class>(self), path));
}
id initWithPath(id self, SEL, id path) {
  Class cls = object_getClass(self);
  release(self);
  return makeBundle(cls, path);
}
id bundlePath(id self, SEL) {
  BundleState* state = stateOf<BundleState>(self);
  return state == nullptr ? nil : string(state->path);
}

}  // namespace

void internal::registerBundleClass() {
  ClassBuilder("NSBundle", rootClass())
      .classMethod("bundleWithPath:", classBundleWithPath)
      .method("initWithPath:", initWithPath)
      .method("bundlePath", bundlePath)
      .register_();
}

}  // namespace ns
