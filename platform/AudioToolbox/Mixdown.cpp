#include <AudioToolbox/Mixdown.h>
#include <AudioToolbox/SoundFile.h>
#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace audio {
namespace {

constexpr int kRate = 44100;

// A sine burst with a fast attack and an exponential decay.
void addTone(std::vector<float>& out, double start, double frequency, double length,
             double amplitude, double decay) {
  size_t first = static_cast<size_t>(start * kRate);
  size_t count = static_cast<size_t>(length * kRate);
  if (out.size() < first + count) out.resize(first + count, 0.0f);
  for (size_t i = 0; i < count; ++i) {
    double t = static_cast<double>(i) / kRate;
    double envelope = std::min(1.0, t / 0.003) * std::exp(-t * decay);
    out[first + i] +=
        static_cast<float>(amplitude * envelope * std::sin(2 * std::numbers::pi * frequency * t));
  }
}

std::vector<float> decode(const std::string& hostPath) {
  std::string ignored;
  std::unique_ptr<SoundFile> file = SoundFile::open(hostPath, ignored);
  if (file == nullptr) return {};
  const SoundFacts info = file->facts();
  std::vector<float> mono;
  std::vector<float> interleaved(4096 * static_cast<size_t>(info.channels));
  for (int64_t n; (n = file->read(interleaved.data(), 4096)) > 0;) {
    for (int64_t i = 0; i < n; ++i) {
      float sum = 0;
      for (int c = 0; c < info.channels; ++c) sum += interleaved[i * info.channels + c];
      mono.push_back(sum / static_cast<float>(info.channels));
    }
  }
  if (info.sampleRate == kRate || mono.empty()) return mono;
  double ratio = static_cast<double>(kRate) / info.sampleRate;
  std::vector<float> resampled(static_cast<size_t>(mono.size() * ratio) + 16);
  SRC_DATA job{};
  job.data_in = mono.data();
  job.input_frames = static_cast<long>(mono.size());
  job.data_out = resampled.data();
  job.output_frames = static_cast<long>(resampled.size());
  job.src_ratio = ratio;
  if (src_simple(&job, SRC_SINC_MEDIUM_QUALITY, 1) != 0) return {};
  resampled.resize(static_cast<size_t>(job.output_frames_gen));
  return resampled;
}

}  // namespace

std::vector<float> builtinSound(uint32_t id) {
  std::vector<float> out;
  switch (id) {
    case 1521:  // haptic "nope": three weak taps
      for (int tap = 0; tap < 3; ++tap) addTone(out, tap * 0.09, 160, 0.05, 0.35, 70);
      break;
    case 1106:  // the stock charging chime: two rising notes
      addTone(out, 0.0, 1318.5, 0.35, 0.4, 9);
      addTone(out, 0.11, 1760.0, 0.45, 0.4, 8);
      break;
    case 1100:  // the stock lock sound: a short low knock
      addTone(out, 0.0, 420, 0.08, 0.5, 60);
      addTone(out, 0.0, 210, 0.08, 0.4, 50);
      break;
    case 4095:  // vibration: a low buzz
      addTone(out, 0.0, 90, 0.4, 0.3, 2);
      break;
    default:
      if (id >= 1000 && id <= 2000) addTone(out, 0.0, 1000, 0.06, 0.3, 40);
      break;
  }
  return out;
}

namespace {

constexpr size_t kBlock = 4096;      // frames mixed and written at a time
constexpr size_t kKeptDecoded = 16;  // decoded files kept for the next play of the same file
// The header is brought up to date after every this many frames of audio, so that a session
// ended by a signal leaves a file whose header counts all but its last few seconds.
constexpr uint64_t kHeaderEvery = 5 * kRate;

// Full scale is never crossed: above 0.9 the level bends smoothly towards 0.99.
float limited(float s) {
  constexpr float knee = 0.9f;
  constexpr float room = 0.09f;
  float magnitude = std::fabs(s);
  if (magnitude <= knee) return s;
  return std::copysign(knee + room * std::tanh((magnitude - knee) / room), s);
}

}  // namespace

Mixdown::~Mixdown() {
  if (file_ != nullptr) sf_close(file_);
}

bool Mixdown::open(const std::string& outputPath, std::string& error) {
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 1;
  // RF64 holds a session past 4 GiB (a plain WAV's sizes are 32 bits); a file that stays
  // smaller is written as a plain WAV.
  info.format = SF_FORMAT_RF64 | SF_FORMAT_PCM_16;
  file_ = sf_open(outputPath.c_str(), SFM_WRITE, &info);
  if (file_ == nullptr) {
    error = "cannot write " + outputPath + ": " + sf_strerror(nullptr);
    return false;
  }
  sf_command(file_, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
  path_ = outputPath;
  return true;
}

std::shared_ptr<const std::vector<float>> Mixdown::samplesOf(const PlayedSound& sound) {
  std::string key = sound.hostPath.empty() ? "#" + std::to_string(sound.builtin) : sound.hostPath;
  auto found = decoded_.find(key);
  if (found != decoded_.end()) return found->second;
  if (decoded_.size() >= kKeptDecoded) decoded_.clear();
  auto samples = std::make_shared<const std::vector<float>>(
      sound.hostPath.empty() ? builtinSound(sound.builtin) : decode(sound.hostPath));
  decoded_[key] = samples;
  return samples;
}

void Mixdown::writeUntil(uint64_t frame) {
  std::vector<float> block;
  while (written_ < frame) {
    size_t count = static_cast<size_t>(std::min<uint64_t>(kBlock, frame - written_));
    block.assign(count, 0.0f);
    for (Ringing& sound : ringing_) {
      size_t n = std::min(count, sound.samples->size() - sound.next);
      for (size_t i = 0; i < n; ++i) block[i] += (*sound.samples)[sound.next + i];
      sound.next += n;
    }
    std::erase_if(ringing_, [](const Ringing& r) { return r.next >= r.samples->size(); });
    for (float& s : block) s = limited(s);
    if (!failed_ && sf_writef_float(file_, block.data(), static_cast<sf_count_t>(count)) !=
                        static_cast<sf_count_t>(count)) {
      failed_ = true;
    }
    written_ += count;
    if (written_ - headerAt_ >= kHeaderEvery) {
      sf_command(file_, SFC_UPDATE_HEADER_NOW, nullptr, 0);
      headerAt_ = written_;
    }
  }
}

void Mixdown::play(const PlayedSound& sound) {
  if (file_ == nullptr) return;
  uint64_t start = static_cast<uint64_t>(std::max(0.0, sound.seconds) * kRate);
  writeUntil(start);
  std::shared_ptr<const std::vector<float>> samples = samplesOf(sound);
  if (samples->empty()) return;
  ringing_.push_back({std::move(samples), 0});
  ++played_;
}

bool Mixdown::finish(std::string& error) {
  if (file_ == nullptr) {
    error = "no mix-down file is open";
    return false;
  }
  size_t longest = 0;
  for (const Ringing& sound : ringing_)
    longest = std::max(longest, sound.samples->size() - sound.next);
  writeUntil(written_ + longest + kRate / 2);
  int closed = sf_close(file_);
  file_ = nullptr;
  if (failed_ || closed != 0) {
    error = "cannot write " + path_ + " completely (is the disk full?)";
    return false;
  }
  return true;
}

bool writeMixdown(const std::string& outputPath, const std::vector<PlayedSound>& sounds,
                  std::string& error) {
  std::vector<PlayedSound> inOrder = sounds;
  std::stable_sort(inOrder.begin(), inOrder.end(), [](const PlayedSound& a, const PlayedSound& b) {
    return a.seconds < b.seconds;
  });
  Mixdown mix;
  if (!mix.open(outputPath, error)) return false;
  for (const PlayedSound& sound : inOrder) mix.play(sound);
  return mix.finish(error);
}

}  // namespace audio
