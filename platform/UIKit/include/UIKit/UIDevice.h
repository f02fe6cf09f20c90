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

// The host's side: what the battery is doing. A change posts the notification (from the
// device object) when monitoring is on, as the platform does.
namespace simulated_device {
void setBatteryState(UIDeviceBatteryState state);
UIDeviceBatteryState batteryState();
}  // namespace simulated_device
