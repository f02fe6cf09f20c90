// Turning an audio file into a sound the device plays, in an event's folder.
//
// The file is read by the system sound service's own decoders (AudioToolbox/SoundFile.h), so
// whatever it reads can be imported: WAV, AIFF, CAF, FLAC, Ogg, MP3, and AAC/M4A. The sound
// written is a CAF of 16-bit linear PCM at the file's own rate, mono or stereo (more channels
// are mixed down to stereo), at most 30 seconds: a longer file is cut at 30 s and faded out
// over its last half second.
#pragma once

#include <AudioToolbox/SoundFile.h>

#include <optional>
#include <string>

#include "tweak/sound_events.h"

namespace sounds {

constexpr double kFadeSeconds = 0.5;

struct ImportRequest {
  const SoundEventFile* event = nullptr;
  std::string sourcePath;  // on the host
  std::string name;        // the file name in the event's folder; empty: the source's, as .caf
  bool force = false;      // replace a file of that name
};

struct ImportResult {
  audio::SoundFacts source;
  audio::SoundFacts written;
  std::string devicePath;  // where the sound now is
  std::string name;        // the name stored under the event's key
  bool trimmed = false;
  bool switchOn = false;  // the event's switch, as stored
  bool masterOn = false;
};

// Imports under the current device root. Nothing, with `error`, when the file is not audio,
// the name is not a file name, a file of that name exists (without `force`), or something
// cannot be written; `badInput` then tells whether the fault was the user's input.
std::optional<ImportResult> importSound(const ImportRequest& request, std::string& error,
                                        bool& badInput);

}  // namespace sounds
