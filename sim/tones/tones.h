// Synthesised tones written as sound files with libsndfile.
#pragma once

#include <string>
#include <vector>

namespace tones {

struct Note {
  double start;      // seconds from the start of the file
  double frequency;  // Hz
  double length;     // seconds
  double amplitude;  // 0..1
  double decay = 6;  // exponential decay per second
};

struct Sound {
  std::vector<Note> notes;
  double seconds = 0;  // total length; 0: until the last note ends
  int sampleRate = 44100;
  int channels = 1;
  int format = 0;  // libsndfile format (container | codec); 0: WAV, 16-bit PCM
};

// Writes the sound; false with `error` set when the file cannot be written in that format.
bool write(const std::string& path, const Sound& sound, std::string& error);

// The demo device's sound for each event, by its file name ("Power Up.caf", "Tap.wav", ...).
struct NamedSound {
  std::string event;  // Charge, Keyboard, ...
  std::string fileName;
  Sound sound;
};
std::vector<NamedSound> demoSounds();

}  // namespace tones
