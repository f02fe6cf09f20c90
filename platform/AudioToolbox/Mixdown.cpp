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

bool writeMixdown(const std::string& outputPath, const std::vector<PlayedSound>& sounds,
                  std::string& error) {
  std::vector<float> mix;
  for (const PlayedSound& sound : sounds) {
    std::vector<float> samples =
        sound.hostPath.empty() ? builtinSound(sound.builtin) : decode(sound.hostPath);
    if (samples.empty()) continue;
    size_t first = static_cast<size_t>(std::max(0.0, sound.seconds) * kRate);
    if (mix.size() < first + samples.size()) mix.resize(first + samples.size(), 0.0f);
    for (size_t i = 0; i < samples.size(); ++i) mix[first + i] += samples[i];
  }
  mix.resize(mix.size() + kRate / 2, 0.0f);
  float peak = 0;
  for (float s : mix) peak = std::max(peak, std::fabs(s));
  if (peak > 0.99f) {
    for (float& s : mix) s *= 0.99f / peak;
  }
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(outputPath.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    error = "cannot write " + outputPath + ": " + sf_strerror(nullptr);
    return false;
  }
  sf_count_t written = sf_writef_float(file, mix.data(), static_cast<sf_count_t>(mix.size()));
  sf_close(file);
  if (written != static_cast<sf_count_t>(mix.size())) {
    error = "cannot write " + outputPath;
    return false;
  }
  return true;
}

}  // namespace audio
