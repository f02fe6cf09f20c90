// The event sound player: the user's chosen file for an event, made into a system sound and
// played.
#pragma once

#include <AudioToolbox/AudioToolbox.h>

#include "settings.h"

// The ID of the sound last created for each event; 0 at load. Only playEventSound writes them.
extern "C" {
PLINKA_EXPORT extern SystemSoundID chargeSound;
PLINKA_EXPORT extern SystemSoundID keyboardSound;
PLINKA_EXPORT extern SystemSoundID lockSound;
PLINKA_EXPORT extern SystemSoundID passcodeSound;
PLINKA_EXPORT extern SystemSoundID respringSound;
PLINKA_EXPORT extern SystemSoundID unlockSound;
PLINKA_EXPORT extern SystemSoundID volumeSound;
}

// Makes a new system sound from the event's file, "<BundleRoot>/<Event>////<name>" with the
// event's name field as it is now, into the event's slot, and plays it; Charge is followed by
// system sound 1521. Checks no switch: the handlers decide. A missing or unplayable file is
// silence, and nothing is reported.
void playEventSound(SoundEvent event);
