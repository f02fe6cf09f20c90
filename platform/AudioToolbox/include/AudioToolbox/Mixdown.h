// The host's ear: a session's sounds mixed into one WAV file at their simulated times.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace audio {

struct PlayedSound {
  double seconds;        // when it started, on the simulated clock
  std::string hostPath;  // the file it came from; empty for a built-in sound
  uint32_t builtin = 0;  // the built-in sound's ID when hostPath is empty
};

// Writes 44.1 kHz mono 16-bit WAV: every sound mixed in at its time (files decoded as the
// system sound service decodes them, and resampled; built-ins synthesised), scaled down only if the
// mix would clip, with half a second of silence after the last sound. A file that cannot be decoded
// is left out. Returns false, with `error` set, when the output cannot be written.
bool writeMixdown(const std::string& outputPath, const std::vector<PlayedSound>& sounds,
                  std::string& error);

// The samples (44.1 kHz mono) that stand for a built-in system sound; empty for an ID that is
// not one.
std::vector<float> builtinSound(uint32_t id);

}  // namespace audio
