// UIDevice, as the product uses it, and the host's controls of the simulated device.
//
// Mirrors: +[UIDevice currentDevice], batteryMonitoringEnabled, batteryState, systemVersion,
// and UIDeviceBatteryStateDidChangeNotification.
//
// Faithful: while battery monitoring is off, batteryState answers UIDeviceBatteryStateUnknown
// (0) and no battery notification is posted; once on, the state is the device's. Switching
// monitoring on is recorded in the journal as "battery-monitoring" {enabled}; each answer of
// batteryState as "query" {class, selector, result}, so that a test can tell whether it was
// asked.
#pragma once

#include <Foundation/Foundation.h>

typedef long UIDeviceBatteryState;
constexpr UIDeviceBatteryState UIDeviceBatteryStateUnknown = 0;
constexpr UIDeviceBatteryState UIDeviceBatteryStateUnplugged = 1;
constexpr UIDeviceBatteryState UIDeviceBatteryStateCharging = 2;
constexpr UIDeviceBatteryState UIDeviceBatteryStateFull = 3;

// The notification's name, an NSString.
extern "C" id UIDeviceBatteryStateDidChangeNotification;

// The host's side: what the battery is doing.
namespace simulated_device {
// Sets what batteryState answers (while monitoring is on), posting nothing.
void setBatteryState(UIDeviceBatteryState state);
// The battery changes state: as on the device, the notification is posted (by the device
// object) when the state differs and monitoring is on.
void changeBatteryState(UIDeviceBatteryState state);
UIDeviceBatteryState batteryState();
}  // namespace simulated_device
