#include "hooks.h"

#include <substrate.h>

#include <cstring>

IMP SavedImplementation[kHookRowCount] = {};

namespace {

struct HookTableRow {
  const char* className;
  const char* selector;
  IMP handler;
};

template <typename F>
IMP imp(F* handler) {
  return reinterpret_cast<IMP>(handler);
}

// checkDevice joins SBUIController right after that class's two rows.
constexpr int kCheckDeviceAfterRow = kHookChargingChime;

}  // namespace

void PKLoadTweak() {
  if (!TweakSettings.enabled) return;

  // Installed in this order; each class is looked up once, just before its first row.
  const HookTableRow hookTable[kHookRowCount] = {
      {"SBUIController", "init", imp(controllerInitHandler)},
      {"SBUIController", "playChargingChimeIfAppropriate", imp(chargingChimeHandler)},
      {"UIKeyboardLayoutStar",
       "touchDownWithKey:atPoint:executionContext:", eventFamilyHandler(kHookKeyTouchDown)},
      {"UIKeyboardImpl", "deleteBackward", eventFamilyHandler(kHookDeleteBackward)},
      {"SBSleepWakeHardwareButtonInteraction", "_playLockSound", imp(lockSoundHandler)},
      {"SBUIPasscodeLockNumberPad",
       "_numberPadTouchDown:forEvent:", eventFamilyHandler(kHookPadTouchDown)},
      {"SBUIPasscodeLockNumberPad",
       "_numberPadTouchCancelled:forEvent:", eventFamilyHandler(kHookPadTouchCancelled)},
      {"SBUIPasscodeLockNumberPad", "_backspaceButtonHit", eventFamilyHandler(kHookPadBackspace)},
      {"SBUIPasscodeLockNumberPad", "_cancelButtonHit", eventFamilyHandler(kHookPadCancel)},
      {"SpringBoard", "applicationDidFinishLaunching:", imp(launchHandler)},
      {"SBCoverSheetPrimarySlidingViewController",
       "viewWillDisappear:", imp(coverSheetDisappearHandler)},
      {"SBDashBoardLockScreenEnvironment", "setAuthenticated:", imp(authenticatedHandler)},
      {"SBVolumeControl", "increaseVolume", eventFamilyHandler(kHookVolumeUp)},
      {"SBVolumeControl", "decreaseVolume", eventFamilyHandler(kHookVolumeDown)},
  };

  Class cls = Nil;
  for (int row = 0; row < kHookRowCount; ++row) {
    const HookTableRow& hook = hookTable[row];
    if (row == 0 || std::strcmp(hook.className, hookTable[row - 1].className) != 0) {
      cls = objc_getClass(hook.className);
    }
    // Results are not examined: a missing class or selector leaves the row without effect.
    MSHookMessageEx(cls, sel(hook.selector), hook.handler, &SavedImplementation[row]);
    if (row == kCheckDeviceAfterRow) {
      class_addMethod(cls, sel("checkDevice"), reinterpret_cast<IMP>(checkDevice), "v@:");
    }
  }
}
