// The host's ear: a session's sounds mixed into one WAV file at their simulated times.
//
// Not a platform API: the simulator's own listener. The mix streams to its file as the session
// plays: samples are written as soon as no later sound can reach them, so memory holds only the
// sounds still ringing (and a few decoded files), never the session; silence costs nothing.
// The header is rewritten every few seconds of audio written, so a session killed midway
// leaves a readable file of what was written up to then.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct sf_private_tag;  // libsndfile's SNDFILE

namespace audio {

struct PlayedSound {
  double seconds;        // when it started, on the simulated clock
  std::string hostPath;  // the file it came from; empty for a built-in sound
  uint32_t builtin = 0;  // the built-in sound's ID when hostPath is empty
};

// 44.1 kHz mono 16-bit WAV (RF64 once past 4 GiB, about 13.5 hours): every sound mixed in at its
// time (files decoded as the system sound service decodes them, and resampled; built-ins
// synthesised), with half a second of silence after the last sound ends. A file that cannot be
// decoded is left out. Where sounds overlap so loudly that the sum would clip, the peaks are
// compressed smoothly into full scale rather than cut.
class Mixdown {
 public:
  Mixdown() = default;
  Mixdown(const Mixdown&) = delete;
  Mixdown& operator=(const Mixdown&) = delete;
  ~Mixdown();

  // Creates the output file; false, with `error`, when it cannot be written.
  bool open(const std::string& outputPath, std::string& error);
  // A sound starts. Sounds come in the order of their times; one dated before the samples
  // already written starts where the mix now is.
  void play(const PlayedSound& sound);
  // Writes the rest and closes the file; false, with `error`, when the file could not be
  // written completely.
  bool finish(std::string& error);
  size_t played() const { return played_; }

 private:
  struct Ringing {
    std::shared_ptr<const std::vector<float>> samples;
    size_t next = 0;  // the next of its samples to mix
  };
  void writeUntil(uint64_t frame);
  std::shared_ptr<const std::vector<float>> samplesOf(const PlayedSound& sound);

  std::string path_;
  sf_private_tag* file_ = nullptr;
  uint64_t written_ = 0;   // frames written so far
  uint64_t headerAt_ = 0;  // frames the header counted when last brought up to date
  bool failed_ = false;
  size_t played_ = 0;
  std::vector<Ringing> ringing_;
  std::map<std::string, std::shared_ptr<const std::vector<float>>> decoded_;
};

// The whole mix-down at once, for sounds given in any order; as Mixdown.
bool writeMixdown(const std::string& outputPath, const std::vector<PlayedSound>& sounds,
                  std::string& error);

// The samples (44.1 kHz mono) that stand for a built-in system sound; empty for an ID that is
// not one.
std::vector<float> builtinSound(uint32_t id);

}  // namespace audio
