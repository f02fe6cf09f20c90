// Sound files as the system sound service reads them: what a file is, its samples, and whether
// the device takes it as a system sound. Host-side: the product itself uses AudioToolbox.h.
//
// A file is read by one decoder, chosen by what the file is (its first bytes, not its name):
// FFmpeg for an MPEG-4 audio file (M4A) or a raw AAC stream (ADTS), and for a CAF whose codec
// libsndfile cannot read (IMA4, AAC, MP3 inside CAF); libsndfile for everything else (WAV,
// AIFF, AIFF-C, CAF with linear PCM, FLAC, Ogg, MP3, and whatever else libsndfile knows).
// Nothing falls back from one decoder to the other: a file its decoder refuses is not audio.
#pragma once

#include <AudioToolbox/AudioToolbox.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace audio {

enum class Container { Unknown, Caf, Aiff, AiffC, Wav, Flac, Ogg, Mp3, Mpeg4, Adts };
enum class Coding { LinearPcm, Ima4, Other };

struct SoundFacts {
  Container container = Container::Unknown;
  std::string containerName;  // "CAF", "AIFF-C", "WAV", "MP3", ... or the decoder's own name
  Coding coding = Coding::Other;
  std::string codec;  // the decoder's name for it ("Signed 16 bit PCM", "ADPCM IMA QuickTime")
  int channels = 0;
  int sampleRate = 0;
  int64_t frames = 0;  // per channel
  const char* decoder = "";

  double seconds() const;
  // "CAF, Signed 16 bit PCM, mono, 44100 Hz, 0.58 s"
  std::string summary() const;
};

// An open sound file, read front to back.
class SoundFile {
 public:
  // Opens a host path; nothing, with `error` saying why ("no file", or what the decoder said),
  // when it cannot be read as audio.
  static std::unique_ptr<SoundFile> open(const std::string& hostPath, std::string& error);
  virtual ~SoundFile() = default;

  const SoundFacts& facts() const { return facts_; }
  // Reads up to `frames` frames into `interleaved` (frames x channels floats, nominally -1..1).
  // Answers the frames read: 0 at the end, -1 when the file turns out to be damaged.
  virtual int64_t read(float* interleaved, int64_t frames) = 0;

 protected:
  SoundFacts facts_;
};

// What AudioServicesCreateSystemSoundID decides for the file at a device path: its status, and
// either the facts of the file or, when it is not audio, why.
struct SystemSoundVerdict {
  OSStatus status = kAudioServicesSystemSoundUnspecifiedError;
  bool missing = false;             // no file at the path (or a folder)
  std::optional<SoundFacts> facts;  // when the file could be read as audio
  std::string reason;               // why the device refuses it; empty when it plays
};
SystemSoundVerdict judgeSystemSound(const std::string& devicePath);

// The longest sound the service takes.
constexpr double kLongestSystemSoundSeconds = 30.0;

// Whether the ring/silent switch, turned to silent, silences a system sound: every sound but
// the vibrations (1521, the haptic "nope", and 4095), which are felt either way.
bool ringerSilences(SystemSoundID id);

}  // namespace audio
