#include "sound_player.h"

extern "C" {
SystemSoundID chargeSound = 0;
SystemSoundID keyboardSound = 0;
SystemSoundID lockSound = 0;
SystemSoundID passcodeSound = 0;
SystemSoundID respringSound = 0;
SystemSoundID unlockSound = 0;
SystemSoundID volumeSound = 0;
}

namespace {

constexpr SystemSoundID kNopeHaptic = 1521;

struct EventSound {
  id TweakSettingsRecord::*name;
  SystemSoundID* slot;
  const char* pathTemplate;
  bool followedByNope;
};

// In the order of SoundEvent.
const EventSound kEventSounds[] = {
    {&TweakSettingsRecord::chargeSoundName, &chargeSound,
     "/var/LIY/PreferenceBundles/Plinka3.bundle/Charge////%@", true},
    {&TweakSettingsRecord::keyboardSoundName, &keyboardSound,
     "/var/LIY/PreferenceBundles/Plinka3.bundle/Keyboard////%@", false},
    {&TweakSettingsRecord::lockSoundName, &lockSound,
     "/var/LIY/PreferenceBundles/Plinka3.bundle/Lock////%@", false},
    {&TweakSettingsRecord::passcodeSoundName, &passcodeSound,
     "/var/LIY/PreferenceBundles/Plinka3.bundle/Passcode////%@", false},
    {&TweakSettingsRecord::respringSoundName, &respringSound,
     "/var/LIY/PreferenceBundles/Plinka3.bundle/Respring////%@", false},
    {&TweakSettingsRecord::unlockSoundName, &unlockSound,
     "/var/LIY/PreferenceBundles/Plinka3.bundle/Unlock////%@", false},
    {&TweakSettingsRecord::volumeSoundName, &volumeSound,
     "/var/LIY/PreferenceBundles/Plinka3.bundle/Volume////%@", false},
};

// The format strings, made once and kept, like literals.
id pathTemplate(SoundEvent event) {
  static id templates[std::size(kEventSounds)] = {};
  id& format = templates[static_cast<size_t>(event)];
  if (format == nil) {
    format = send(send(cls("NSString"), "alloc"),
                  "initWithUTF8String:", kEventSounds[static_cast<size_t>(event)].pathTemplate);
  }
  return format;
}

}  // namespace

void playEventSound(SoundEvent event) {
  const EventSound& sound = kEventSounds[static_cast<size_t>(event)];
  SystemSoundID previous = *sound.slot;
  *sound.slot = 0;
  // Each play makes a new sound; the one made before is let go, so that a long session holds
  // one sound per event rather than one per key press.
  if (previous != 0) AudioServicesDisposeSystemSoundID(previous);

  id name = TweakSettings.*sound.name;
  id path =
      sendVariadic(send(cls("NSString"), "alloc"), "initWithFormat:", pathTemplate(event), name);
  id url = send(send(cls("NSURL"), "alloc"), "initFileURLWithPath:", path);
  AudioServicesCreateSystemSoundID(reinterpret_cast<CFURLRef>(url), sound.slot);
  send<void>(path, "release");
  send<void>(url, "release");

  AudioServicesPlaySystemSound(*sound.slot);
  if (sound.followedByNope) AudioServicesPlaySystemSound(kNopeHaptic);
}
