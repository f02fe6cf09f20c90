// The hook table: the host methods the tweak replaces, and where each keeps the
// implementation it replaced.
#pragma once

#include <objc/msg_send.h>

#include "settings.h"

// Row numbers of the hook table, in installation order.
enum HookRow : int {
  kHookControllerInit,       // -[SBUIController init]
  kHookChargingChime,        // -[SBUIController playChargingChimeIfAppropriate]
  kHookKeyTouchDown,         // -[UIKeyboardLayoutStar touchDownWithKey:atPoint:executionContext:]
  kHookDeleteBackward,       // -[UIKeyboardImpl deleteBackward]
  kHookLockSound,            // -[SBSleepWakeHardwareButtonInteraction _playLockSound]
  kHookPadTouchDown,         // -[SBUIPasscodeLockNumberPad _numberPadTouchDown:forEvent:]
  kHookPadTouchCancelled,    // -[SBUIPasscodeLockNumberPad _numberPadTouchCancelled:forEvent:]
  kHookPadBackspace,         // -[SBUIPasscodeLockNumberPad _backspaceButtonHit]
  kHookPadCancel,            // -[SBUIPasscodeLockNumberPad _cancelButtonHit]
  kHookLaunch,               // -[SpringBoard applicationDidFinishLaunching:]
  kHookCoverSheetDisappear,  // -[SBCoverSheetPrimarySlidingViewController viewWillDisappear:]
  kHookAuthenticated,        // -[SBDashBoardLockScreenEnvironment setAuthenticated:]
  kHookVolumeUp,             // -[SBVolumeControl increaseVolume]
  kHookVolumeDown,           // -[SBVolumeControl decreaseVolume]
  kHookRowCount
};

// One slot per row: the implementation in effect before the hook, written by the hooking
// library while the row is installed; null until then.
extern IMP SavedImplementation[kHookRowCount];

// Calls the implementation a row replaced, with the receiver, selector and arguments the handler
// received.
template <typename R = void, typename... Args>
inline R callSaved(HookRow row, id self, SEL cmd, Args... args) {
  return reinterpret_cast<R (*)(id, SEL, Args...)>(SavedImplementation[row])(self, cmd, args...);
}

// Installs the hooks and adds -[SBUIController checkDevice] when the product is enabled;
// does nothing at all otherwise. Called once, by PKLoadPrefs.
PLINKA_EXPORT void PKLoadTweak();

// The handlers, one per row (and checkDevice), in the files of their events.
id controllerInitHandler(id self, SEL cmd);
void chargingChimeHandler(id self, SEL cmd);
void checkDevice(id self, SEL cmd);
void launchHandler(id self, SEL cmd, id application);
void lockSoundHandler(id self, SEL cmd);
void coverSheetDisappearHandler(id self, SEL cmd, BOOL animated);
void authenticatedHandler(id self, SEL cmd, BOOL authenticated);
// The keyboard, passcode and volume rows share one handler shape; this answers the handler of
// such a row (null for any other row).
IMP eventFamilyHandler(HookRow row);
