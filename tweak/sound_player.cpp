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

// The tweak's side of each event: its name field and its slot, in the order of SoundEvent;
// the path and what follows the sound come from kSoundEventFiles.
struct EventSound {
  id TweakSettingsRecord::*name;
  SystemSoundID* slot;
};

const EventSound kEventSounds[] = {
    {&TweakSettingsRecord::chargeSoundName, &chargeSound},
    {&TweakSettingsRecord::keyboardSoundName, &keyboardSound},
    {&TweakSettingsRecord::lockSoundName, &lockSound},
    {&TweakSettingsRecord::passcodeSoundName, &passcodeSound},
    {&TweakSettingsRecord::respringSoundName, &respringSound},
    {&TweakSettingsRecord::unlockSoundName, &unlockSound},
    {&TweakSettingsRecord::volumeSoundName, &volumeSound},
};
static_assert(std::size(kEventSounds) == std::size(kSoundEventFiles));

// The format strings, made once and kept, like literals.
id pathTemplate(SoundEvent event) {
  static id templates[std::size(kEventSounds)] = {};
  id& format = templates[static_cast<size_t>(event)];
  if (format == nil) {
    format = send(send(cls("NSString"), "alloc"),
                  "initWithUTF8String:", soundEventFile(event).pathTemplate);
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
  if (soundEventFile(event).followedByNope) AudioServicesPlaySystemSound(kNopeHaptic);
}
