// Where the tweak finds each event's sound on the device: the settings that name it and the
// file path it forms. One row per SoundEvent, in its order. The sound player plays from this
// table, and plinka-sim's sound check reads the same rows, so both form the same paths.
#pragma once

#include <Foundation/Foundation.h>
#include <plinka/bundle.h>

// The preferences identifier under which the settings pane stores the product's keys.
constexpr const char* PreferencesDomain = "com.plinka.plinka3";
// The product's master switch.
constexpr const char* MasterSwitchKey = "kEnabledPK";

enum class SoundEvent { Charge, Keyboard, Lock, Passcode, Respring, Unlock, Volume };

struct SoundEventFile {
  const char* event;         // the event's name, which is also its folder in the bundle
  const char* switchKey;     // the event's switch
  const char* nameKey;       // the file name inside the folder
  const char* pathTemplate;  // the folder, four slashes, and the name in place of %@
  bool followedByNope;       // system sound 1521 plays right after the event's sound
};

inline constexpr SoundEventFile kSoundEventFiles[] = {
    {"Charge", "kCustomCharge", "kChargeSound",
     "/var/LIY/PreferenceBundles/Plinka3.bundle/Charge////%@", true},
    {"Keyboard", "kCustomKeyboard", "kKeyboardSound",
     "/var/LIY/PreferenceBundles/Plinka3.bundle/Keyboard////%@", false},
    {"Lock", "kCustomLock", "kLockSound", "/var/LIY/PreferenceBundles/Plinka3.bundle/Lock////%@",
     false},
    {"Passcode", "kCustomPasscode", "kPasscodeSound",
     "/var/LIY/PreferenceBundles/Plinka3.bundle/Passcode////%@", false},
    {"Respring", "kCustomRespring", "kRespringSound",
     "/var/LIY/PreferenceBundles/Plinka3.bundle/Respring////%@", false},
    {"Unlock", "kCustomUnlock", "kUnlockSound",
     "/var/LIY/PreferenceBundles/Plinka3.bundle/Unlock////%@", false},
    {"Volume", "kCustomVolume", "kVolumeSound",
     "/var/LIY/PreferenceBundles/Plinka3.bundle/Volume////%@", false},
};

inline const SoundEventFile& soundEventFile(SoundEvent event) {
  return kSoundEventFiles[static_cast<size_t>(event)];
}

// A stored switch as the tweak reads it: boolValue of the stored object; absent, or an object
// that cannot be read as a number (an array, a dictionary, data), reads as NO.
inline BOOL switchValue(id stored) {
  return stored != nil && send<BOOL>(stored, "respondsToSelector:", sel("boolValue")) &&
         send<BOOL>(stored, "boolValue");
}
