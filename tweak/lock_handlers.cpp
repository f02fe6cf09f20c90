// Lock and unlock sounds. After each custom lock sound the unlock sound can play once, from
// whichever unlock handler first qualifies.
#include "hooks.h"
#include "sound_player.h"

namespace {

// NO: armed (the next qualifying unlock plays); YES: spent until the next custom lock sound.
BOOL unlockSoundPlayed = NO;

// Looked up when first needed; a failed lookup is tried again at the next lock.
Class lockScreenManagerClass = Nil;

bool userInterfaceLocked() {
  if (lockScreenManagerClass == Nil) lockScreenManagerClass = objc_getClass("SBLockScreenManager");
  // A missing class or shared instance answers NO through the nil receiver.
  return send<BOOL>(send(lockScreenManagerClass, "sharedInstance"), "isUILocked");
}

void playUnlockSound() {
  playEventSound(SoundEvent::Unlock);
  unlockSoundPlayed = YES;
}

}  // namespace

void lockSoundHandler(id self, SEL cmd) {
  if (!TweakSettings.customLock || userInterfaceLocked()) {
    callSaved(kHookLockSound, self, cmd);
    return;
  }
  playEventSound(SoundEvent::Lock);
  unlockSoundPlayed = NO;
}

void coverSheetDisappearHandler(id self, SEL cmd, BOOL animated) {
  callSaved(kHookCoverSheetDisappear, self, cmd, animated);
  if (!TweakSettings.customUnlock || unlockSoundPlayed) return;
  playUnlockSound();
}

void authenticatedHandler(id self, SEL cmd, BOOL authenticated) {
  callSaved(kHookAuthenticated, self, cmd, authenticated);
  if (!TweakSettings.customUnlock || !authenticated || !TweakSettings.autoUnlockX) return;
  if (unlockSoundPlayed) return;
  playUnlockSound();
}
