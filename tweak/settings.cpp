#include "settings.h"

#include "hooks.h"

TweakSettingsRecord TweakSettings = {};

namespace {

// One row per key, in the order the keys are read. A row fills exactly one field: a switch
// (boolValue; absent reads as NO), the integer (integerValue, low 32 bits; absent reads as 0)
// or a name (the stored object itself, no conversion; absent leaves nil).
struct SettingRow {
  const char* key;
  BOOL TweakSettingsRecord::*flag;
  int32_t TweakSettingsRecord::*number;
  id TweakSettingsRecord::*name;
};

constexpr SettingRow kSettings[] = {
    {"kEnabledPK", &TweakSettingsRecord::enabled, nullptr, nullptr},
    {"kCustomCharge", &TweakSettingsRecord::customCharge, nullptr, nullptr},
    {"kCustomKeyboard", &TweakSettingsRecord::customKeyboard, nullptr, nullptr},
    {"kCustomLock", &TweakSettingsRecord::customLock, nullptr, nullptr},
    {"kCustomPasscode", &TweakSettingsRecord::customPasscode, nullptr, nullptr},
    {"kCustomRespring", &TweakSettingsRecord::customRespring, nullptr, nullptr},
    {"kRespringMode", nullptr, &TweakSettingsRecord::respringMode, nullptr},
    {"kCustomUnlock", &TweakSettingsRecord::customUnlock, nullptr, nullptr},
    {"kAutoUnlockX", &TweakSettingsRecord::autoUnlockX, nullptr, nullptr},
    {"kCustomVolume", &TweakSettingsRecord::customVolume, nullptr, nullptr},
    {"kChargeSound", nullptr, nullptr, &TweakSettingsRecord::chargeSoundName},
    {"kKeyboardSound", nullptr, nullptr, &TweakSettingsRecord::keyboardSoundName},
    {"kLockSound", nullptr, nullptr, &TweakSettingsRecord::lockSoundName},
    {"kPasscodeSound", nullptr, nullptr, &TweakSettingsRecord::passcodeSoundName},
    {"kRespringSound", nullptr, nullptr, &TweakSettingsRecord::respringSoundName},
    {"kUnlockSound", nullptr, nullptr, &TweakSettingsRecord::unlockSoundName},
    {"kVolumeSound", nullptr, nullptr, &TweakSettingsRecord::volumeSoundName},
};

id text(const char* utf8) {
  return send(cls("NSString"), "stringWithUTF8String:", utf8);
}

void readSetting(id preferences, const SettingRow& row) {
  id value = send(preferences, "objectForKey:", text(row.key));
  if (row.name != nullptr) {
    id previous = TweakSettings.*row.name;
    TweakSettings.*row.name = send(value, "retain");
    send<void>(previous, "release");
    return;
  }
  if (row.flag != nullptr) {
    TweakSettings.*row.flag = switchValue(value);
    return;
  }
  // A value that cannot be read as a number (an array, a dictionary, data) would end the home
  // screen with an unrecognised selector; it reads as absent (0) instead.
  if (value != nil && !send<BOOL>(value, "respondsToSelector:", sel("integerValue"))) value = nil;
  TweakSettings.*row.number =
      static_cast<int32_t>(static_cast<uint32_t>(send<NSInteger>(value, "integerValue")));
}

// The library's only initialiser.
__attribute__((constructor)) void PlinkaInitialise() {
  PKLoadPrefs();
}

}  // namespace

void PKLoadPrefs() {
  // A store that cannot be made (nil) answers nil for every key: the absent-key values.
  id preferences =
      send(send(cls("HBPreferences"), "alloc"), "initWithIdentifier:", text(PreferencesDomain));
  for (const SettingRow& row : kSettings) readSetting(preferences, row);
  PKLoadTweak();
  send<void>(preferences, "release");
}
