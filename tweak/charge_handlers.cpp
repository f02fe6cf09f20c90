// Charging and respring sounds: the SBUIController init and chime handlers, the added
// checkDevice, and the SpringBoard launch handler.
#include <UIKit/UIDevice.h>

#include "hooks.h"
#include "sound_player.h"

namespace {

// YES once the chime handler has played the custom charge sound; never reset in a process.
BOOL chargeChimePlayed = NO;

// With a custom respring sound in any mode but 1, the stock chime and the custom charge sound
// are both withheld from the chime request.
bool respringWithholdsChime() {
  return TweakSettings.customRespring && TweakSettings.respringMode != 1;
}

}  // namespace

id controllerInitHandler(id self, SEL cmd) {
  if (TweakSettings.customCharge) {
    send<void>(send(cls("UIDevice"), "currentDevice"), "setBatteryMonitoringEnabled:", YES);
    send<void>(send(cls("NSNotificationCenter"), "defaultCenter"),
               "addObserver:selector:name:object:", self, sel("checkDevice"),
               UIDeviceBatteryStateDidChangeNotification, nil);
  }
  return callSaved<id>(kHookControllerInit, self, cmd);
}

void checkDevice(id self, SEL) {
  if (!send<BOOL>(self, "isOnAC")) playEventSound(SoundEvent::Charge);
}

void chargingChimeHandler(id self, SEL cmd) {
  if (TweakSettings.customCharge && send<BOOL>(self, "isOnAC")) {
    if (respringWithholdsChime() || chargeChimePlayed) return;
    playEventSound(SoundEvent::Charge);
    chargeChimePlayed = YES;
    return;
  }
  if (!respringWithholdsChime()) callSaved(kHookChargingChime, self, cmd);
}

void launchHandler(id self, SEL cmd, id application) {
  callSaved(kHookLaunch, self, cmd, application);
  if (!TweakSettings.customRespring) return;
  if (TweakSettings.respringMode == 1) {
    UIDeviceBatteryState state =
        send<UIDeviceBatteryState>(send(cls("UIDevice"), "currentDevice"), "batteryState");
    if (state == UIDeviceBatteryStateUnplugged) playEventSound(SoundEvent::Respring);
  } else if (TweakSettings.respringMode == 0) {
    playEventSound(SoundEvent::Respring);
  }
}
