// The settings snapshot: the user's settings, read once when the library loads.
#pragma once

#include <Foundation/Foundation.h>

#include <cstdint>

#include "sound_events.h"

#define PLINKA_EXPORT __attribute__((visibility("default")))

// Written once, by PKLoadPrefs, before any hook exists; read-only afterwards.
struct TweakSettingsRecord {
  BOOL enabled;
  BOOL customCharge;
  BOOL customKeyboard;
  BOOL customLock;
  BOOL customPasscode;
  BOOL customRespring;
  int32_t respringMode;
  BOOL customUnlock;
  BOOL autoUnlockX;
  BOOL customVolume;
  // File names inside each event's folder. Each field owns a reference to its value; nil
  // when the key is absent.
  id chargeSoundName;
  id keyboardSoundName;
  id lockSoundName;
  id passcodeSoundName;
  id respringSoundName;
  id unlockSoundName;
  id volumeSoundName;
};

extern TweakSettingsRecord TweakSettings;

// Reads all seventeen keys into TweakSettings, then calls PKLoadTweak. Called once, by the
// library's initialiser.
PLINKA_EXPORT void PKLoadPrefs();
