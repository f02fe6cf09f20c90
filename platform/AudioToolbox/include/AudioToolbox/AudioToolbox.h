// System sound services, as tweaks use them.
//
// Mirrors: AudioServicesCreateSystemSoundID, AudioServicesPlaySystemSound and
// AudioServicesDisposeSystemSoundID of AudioToolbox.
//
// - Create opens the file of a file URL (a device path, mapped under the device root) and
//   accepts only what the device accepts: a CAF, AIFF or WAV container holding linear PCM or
//   IMA4 (IMA ADPCM) audio, at most 30 seconds long (the rules and the decoders:
//   AudioToolbox/SoundFile.h). It then writes a new ID (4097 upwards,
//   never 0, never reused) and answers 0. Otherwise it answers
//   kAudioServicesSystemSoundUnspecifiedError (-1500), or
//   kAudioServicesSystemSoundExceededMaximumDurationError (-1502) for a longer sound, and the
//   caller's ID is left untouched. A null ID pointer answers -50 and does nothing.
// - Play returns at once. Built-in sounds (1000-2000, and 4095 for vibration; 1521 is the
//   haptic "nope") play without a file; 0, an unknown or a disposed ID plays nothing. With the
//   device's ring/silent switch on silent, a play makes no sound, but the vibrations (1521,
//   4095) are felt.
// - Dispose frees a created sound; the ID must not be used again. An unknown ID answers
//   kAudioServicesBadSpecifierError.
// Each call is recorded in the journal: "sound-create" {path, status, id}, "sound-play" {id,
// path when the sound came from a file, silent when nothing is heard, ringer "off" when it is
// the ring/silent switch that silenced it}, "sound-dispose" {id,
// status}.
//
// Simplified: the sound is not heard at the time of the call; the host can mix the session's
// plays into a WAV file afterwards (AudioToolbox/Mixdown.h).
#pragma once

#include <cstdint>

typedef uint32_t SystemSoundID;
typedef int32_t OSStatus;
typedef const struct __CFURL* CFURLRef;

constexpr OSStatus kAudioServicesNoError = 0;
constexpr OSStatus kAudioServicesSystemSoundUnspecifiedError = -1500;
constexpr OSStatus kAudioServicesSystemSoundExceededMaximumDurationError = -1502;
constexpr OSStatus kAudioServicesBadSpecifierError = 0x21737063;  // '!spc'
constexpr SystemSoundID kSystemSoundID_Vibrate = 4095;

extern "C" {
OSStatus AudioServicesCreateSystemSoundID(CFURLRef inFileURL, SystemSoundID* outSystemSoundID);
void AudioServicesPlaySystemSound(SystemSoundID inSystemSoundID);
OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID inSystemSoundID);
}
