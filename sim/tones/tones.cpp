#include "tones.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tones {

bool write(const std::string& path, const Sound& sound, std::string& error) {
  double end = sound.seconds;
  for (const Note& n : sound.notes) end = std::max(end, n.start + n.length);
  size_t frames = static_cast<size_t>(end * sound.sampleRate);
  std::vector<float> mono(frames, 0.0f);
  for (const Note& n : sound.notes) {
    size_t first = static_cast<size_t>(n.start * sound.sampleRate);
    size_t count = static_cast<size_t>(n.length * sound.sampleRate);
    for (size_t i = 0; i < count && first + i < frames; ++i) {
      double t = static_cast<double>(i) / sound.sampleRate;
      double attack = std::min(1.0, t / 0.004);
      double release = std::min(1.0, (n.length - t) / 0.01);
      double envelope = attack * std::max(0.0, release) * std::exp(-t * n.decay);
      mono[first + i] += static_cast<float>(n.amplitude * envelope *
                                            std::sin(2 * std::numbers::pi * n.frequency * t));
    }
  }
  std::vector<float> interleaved(frames * static_cast<size_t>(sound.channels));
  for (size_t i = 0; i < frames; ++i) {
    for (int c = 0; c < sound.channels; ++c) interleaved[i * sound.channels + c] = mono[i];
  }
  SF_INFO info{};
  info.samplerate = sound.sampleRate;
  info.channels = sound.channels;
  info.format = sound.format != 0 ? sound.format : (SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  if (!sf_format_check(&info)) {
    error = path + ": libsndfile cannot write this format";
    return false;
  }
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    error = path + ": " + sf_strerror(nullptr);
    return false;
  }
  sf_count_t written = sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(frames));
  sf_close(file);
  if (written != static_cast<sf_count_t>(frames)) {
    error = path + ": short write";
    return false;
  }
  return true;
}

std::vector<NamedSound> demoSounds() {
  constexpr int kCaf = SF_FORMAT_CAF | SF_FORMAT_PCM_16;
  constexpr int kWav = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  constexpr int kAiff = SF_FORMAT_AIFF | SF_FORMAT_PCM_16;
  constexpr int kWavIma = SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM;
  return {
      // A rising major arpeggio.
      {"Charge",
       "Power Up.caf",
       {{{0.00, 523.25, 0.30, 0.35}, {0.09, 659.25, 0.30, 0.35}, {0.18, 783.99, 0.40, 0.35}},
        0,
        44100,
        1,
        kCaf}},
      // A short bright click.
      {"Keyboard", "Tap.wav", {{{0.0, 2093.0, 0.045, 0.45, 60}}, 0, 44100, 1, kWav}},
      // Two falling low notes.
      {"Lock",
       "Latch.aiff",
       {{{0.0, 392.0, 0.12, 0.5, 20}, {0.08, 261.63, 0.18, 0.5, 15}}, 0, 44100, 2, kAiff}},
      // A blip, stored as IMA4 (IMA ADPCM) as many system sounds are.
      {"Passcode", "Pin.wav", {{{0.0, 1567.98, 0.07, 0.45, 40}}, 0, 44100, 1, kWavIma}},
      // A slow chord.
      {"Respring",
       "Welcome.caf",
       {{{0.0, 261.63, 0.9, 0.25, 3},
         {0.05, 329.63, 0.85, 0.25, 3},
         {0.10, 392.0, 0.8, 0.25, 3},
         {0.15, 523.25, 0.75, 0.2, 3}},
        0,
        44100,
        1,
        kCaf}},
      // Two rising notes, at 22.05 kHz.
      {"Unlock",
       "Open.wav",
       {{{0.0, 659.25, 0.12, 0.4, 15}, {0.1, 987.77, 0.2, 0.4, 12}}, 0, 22050, 1, kWav}},
      // A soft tick.
      {"Volume", "Step.wav", {{{0.0, 880.0, 0.05, 0.4, 50}}, 0, 44100, 1, kWav}},
  };
}

}  // namespace tones
