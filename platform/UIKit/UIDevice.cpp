#include <Foundation/ObjectState.h>
#include <UIKit/UIDevice.h>
#include <device/device.h>
#include <device/journal.h>

extern "C" {
id UIDeviceBatteryStateDidChangeNotification = nil;
}

namespace {

struct Battery {
  UIDeviceBatteryState state = UIDeviceBatteryStateUnplugged;
  bool monitoring = false;
};
Battery& battery() {
  static Battery b;
  return b;
}

id currentDevice(id self, SEL) {
  static id device = ns::makeImmortal(msgSend(self, sel("new")));
  return device;
}

void setBatteryMonitoringEnabled(id, SEL, BOOL enabled) {
  battery().monitoring = enabled != NO;
  journal::record("battery-monitoring", {{"enabled", enabled != NO}});
}
BOOL isBatteryMonitoringEnabled(id, SEL) {
  return battery().monitoring ? YES : NO;
}

UIDeviceBatteryState batteryState(id, SEL) {
  UIDeviceBatteryState answer =
      battery().monitoring ? battery().state : UIDeviceBatteryStateUnknown;
  journal::record("query",
                  {{"class", "UIDevice"}, {"selector", "batteryState"}, {"result", answer}});
  return answer;
}

id systemVersion(id, SEL) {
  return ns::string(device::systemVersion());
}

__attribute__((constructor)) void registerUIDevice() {
  UIDeviceBatteryStateDidChangeNotification =
      ns::constantString("UIDeviceBatteryStateDidChangeNotification");
  ClassBuilder("UIDevice", ns::classNamed("NSObject"))
      .classMethod("currentDevice", currentDevice)
      .method("setBatteryMonitoringEnabled:", setBatteryMonitoringEnabled)
      .method("isBatteryMonitoringEnabled", isBatteryMonitoringEnabled)
      .method("batteryState", batteryState)
      .method("systemVersion", systemVersion)
      .register_();
}

}  // namespace

namespace simulated_device {

void setBatteryState(UIDeviceBatteryState state) {
  battery().state = state;
}

void changeBatteryState(UIDeviceBatteryState state) {
  bool changed = battery().state != state;
  battery().state = state;
  if (changed && battery().monitoring) {
    ns::AutoreleasePool pool;
    id device = currentDevice(asId(objc_getClass("UIDevice")), nullptr);
    msgSend<void>(msgSend(cls("NSNotificationCenter"), sel("defaultCenter")),
                  sel("postNotificationName:object:"), UIDeviceBatteryStateDidChangeNotification,
                  device);
  }
}

UIDeviceBatteryState batteryState() {
  return battery().state;
}

}  // namespace simulated_device
