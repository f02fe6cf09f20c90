#include "sound_import.h"

#include <Foundation/Foundation.h>
#include <device/device.h>
#include <device/files.h>
#include <device/journal.h>
#include <fcntl.h>
#include <sndfile.h>
#include <stdio.h>
#include <unistd.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace sounds {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kChunkFrames = 4096;

// The first 30 seconds of the file, interleaved; `trimmed` when there was more.
bool readUpToLimit(audio::SoundFile& file, std::vector<float>& samples, bool& trimmed,
                   std::string& error) {
  const audio::SoundFacts& facts = file.facts();
  const size_t channels = static_cast<size_t>(facts.channels);
  const int64_t limit =
      static_cast<int64_t>(std::floor(audio::kLongestSystemSoundSeconds * facts.sampleRate));
  int64_t frames = 0;
  trimmed = false;
  for (;;) {
    int64_t want = std::min(kChunkFrames, limit - frames);
    if (want == 0) {
      std::vector<float> probe(channels);
      trimmed = file.read(probe.data(), 1) != 0;
      break;
    }
    samples.resize(static_cast<size_t>(frames + want) * channels);
    int64_t n = file.read(samples.data() + static_cast<size_t>(frames) * channels, want);
    if (n < 0) {
      error = "the file is damaged: its audio cannot be decoded to the end";
      return false;
    }
    frames += n;
    if (n == 0) break;
  }
  samples.resize(static_cast<size_t>(frames) * channels);
  if (frames == 0) {
    error = "there is no audio in it";
    return false;
  }
  return true;
}

// More than two channels mixed down to stereo, by FFmpeg's resampler, taking the channels in
// the usual order for their number (front left, front right, centre, LFE, ...).
bool mixDownToStereo(std::vector<float>& samples, int channels, int rate, std::string& error) {
  AVChannelLayout in{};
  av_channel_layout_default(&in, channels);
  AVChannelLayout out = AV_CHANNEL_LAYOUT_STEREO;
  SwrContext* mix = nullptr;
  bool done = swr_alloc_set_opts2(&mix, &out, AV_SAMPLE_FMT_FLT, rate, &in, AV_SAMPLE_FMT_FLT, rate,
                                  0, nullptr) == 0 &&
              swr_init(mix) == 0;
  int frames = static_cast<int>(samples.size() / static_cast<size_t>(channels));
  std::vector<float> stereo(static_cast<size_t>(frames) * 2);
  if (done) {
    const uint8_t* from = reinterpret_cast<const uint8_t*>(samples.data());
    uint8_t* to = reinterpret_cast<uint8_t*>(stereo.data());
    int n = swr_convert(mix, &to, frames, &from, frames);
    done = n >= 0;
    stereo.resize(static_cast<size_t>(std::max(n, 0)) * 2);
  }
  swr_free(&mix);
  av_channel_layout_uninit(&in);
  if (!done) {
    error = "cannot mix its " + std::to_string(channels) + " channels down to stereo";
    return false;
  }
  samples = std::move(stereo);
  return true;
}

void fadeOut(std::vector<float>& samples, int channels, int rate) {
  size_t frames = samples.size() / static_cast<size_t>(channels);
  size_t fade = std::min(frames, static_cast<size_t>(kFadeSeconds * rate));
  for (size_t i = 0; i < fade; ++i) {
    float gain = static_cast<float>(fade - 1 - i) / static_cast<float>(fade);
    size_t frame = frames - fade + i;
    for (int c = 0; c < channels; ++c) samples[frame * channels + c] *= gain;
  }
}

// libsndfile writes through the device's file layer, so every byte can be counted and failed.
struct CafSink {
  device::files::Output file;
  int failure = 0;  // the first errno of the file layer
};
CafSink& sinkOf(void* opaque) {
  return *static_cast<CafSink*>(opaque);
}
sf_count_t virtualLength(void* sink) {
  return sinkOf(sink).file.size();
}
sf_count_t virtualSeek(sf_count_t offset, int whence, void* sink) {
  return sinkOf(sink).file.seek(offset, whence);
}
sf_count_t virtualRead(void* bytes, sf_count_t count, void* sink) {
  int64_t got = sinkOf(sink).file.read(bytes, static_cast<size_t>(count));
  return got < 0 ? 0 : got;
}
sf_count_t virtualWrite(const void* bytes, sf_count_t count, void* sink) {
  int failed = sinkOf(sink).file.write(bytes, static_cast<size_t>(count));
  if (failed == 0) return count;
  if (sinkOf(sink).failure == 0) sinkOf(sink).failure = failed;
  return 0;
}
sf_count_t virtualTell(void* sink) {
  return sinkOf(sink).file.seek(0, SEEK_CUR);
}

bool writeCaf(const std::string& hostPath, const std::vector<float>& samples, int channels,
              int rate, std::string& error) {
  CafSink sink;
  if (int failed = sink.file.create(hostPath, true)) {
    error = "cannot write " + hostPath + ": " + device::files::describe(failed);
    return false;
  }
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_CAF | SF_FORMAT_PCM_16;
  SF_VIRTUAL_IO io{virtualLength, virtualSeek, virtualRead, virtualWrite, virtualTell};
  SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &sink);
  if (file == nullptr) {
    error = "cannot write " + hostPath + ": " +
            (sink.failure != 0 ? device::files::describe(sink.failure) : sf_strerror(nullptr));
    return false;
  }
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);  // loud input clips, never wraps
  sf_count_t frames = static_cast<sf_count_t>(samples.size() / static_cast<size_t>(channels));
  bool written = sf_writef_float(file, samples.data(), frames) == frames;
  written = sf_close(file) == 0 && written && sink.failure == 0;
  if (int closed = sink.file.close(); closed != 0 && sink.failure == 0) sink.failure = closed;
  if (!written || sink.failure != 0) {
    error = "cannot write " + hostPath +
            (sink.failure != 0 ? ": " + device::files::describe(sink.failure) : std::string());
    return false;
  }
  return true;
}

// Puts the new file in place: over an old one only when forced.
bool putInPlace(const std::string& from, const std::string& to, bool force, std::string& error) {
  int failed = device::files::rename(from, to, force);
  if (failed == 0) return true;
  error = failed == EEXIST ? to + " appeared while importing; nothing replaced"
                           : "cannot put the sound in place: " + device::files::describe(failed);
  return false;
}

bool storeName(const SoundEventFile& event, const std::string& name) {
  std::string settings =
      std::string("/var/mobile/Library/Preferences/") + PreferencesDomain + ".plist";
  return ns::updatePlistDictionary(device::hostPath(settings), [&](id dictionary) {
    ns::setValue(dictionary, event.nameKey, ns::string(name));
  });
}

std::string nameProblem(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return "is not a file name";
  if (name.find('/') != std::string::npos) return "holds a '/': give a file name, not a path";
  return "";
}

}  // namespace

std::optional<ImportResult> importSound(const ImportRequest& request, std::string& error,
                                        bool& badInput) {
  badInput = true;
  ns::AutoreleasePool pool;
  ImportResult result;
  std::string why;
  std::error_code folder;
  if (fs::is_directory(request.sourcePath, folder)) {
    error = request.sourcePath + ": a folder, not a sound file";
    return std::nullopt;
  }
  std::unique_ptr<audio::SoundFile> file = audio::SoundFile::open(request.sourcePath, why);
  if (file == nullptr) {
    error =
        request.sourcePath + ": " + (why == "no file" ? "no such file" : "not audio (" + why + ")");
    return std::nullopt;
  }
  result.source = file->facts();
  result.name =
      request.name.empty() ? fs::path(request.sourcePath).stem().string() + ".caf" : request.name;
  if (std::string problem = nameProblem(result.name); !problem.empty()) {
    error = "the name \"" + result.name + "\" " + problem;
    return std::nullopt;
  }
  result.devicePath = std::string(BundleRoot) + "/" + request.event->event + "/" + result.name;
  const fs::path target = device::hostPath(result.devicePath);
  std::error_code ec;
  if (fs::exists(fs::symlink_status(target, ec)) &&
      (!request.force || fs::is_directory(target, ec))) {
    error = result.devicePath + " already exists" +
            (request.force ? " and is not a file" : "; --force replaces it");
    return std::nullopt;
  }

  std::vector<float> samples;
  if (!readUpToLimit(*file, samples, result.trimmed, why)) {
    error = request.sourcePath + ": " + why;
    return std::nullopt;
  }
  int channels = result.source.channels;
  int rate = result.source.sampleRate;
  if (channels > 2) {
    if (!mixDownToStereo(samples, channels, rate, why)) {
      error = request.sourcePath + ": " + why;
      return std::nullopt;
    }
    channels = 2;
  }
  if (result.trimmed) fadeOut(samples, channels, rate);

  badInput = false;
  device::files::makeFolder(target.parent_path().string(), true);
  fs::path part = target.parent_path() / ("." + result.name + ".part-" + std::to_string(getpid()));
  if (!writeCaf(part.string(), samples, channels, rate, error) ||
      !putInPlace(part.string(), target.string(), request.force, error)) {
    device::files::remove(part.string());
    return std::nullopt;
  }
  audio::SystemSoundVerdict verdict = audio::judgeSystemSound(result.devicePath);
  if (verdict.status != kAudioServicesNoError) {
    error = "the device refuses the sound written: " + verdict.reason;
    return std::nullopt;
  }
  result.written = *verdict.facts;
  if (!storeName(*request.event, result.name)) {
    error = std::string("the sound is in place, but ") + request.event->nameKey +
            " could not be stored in the settings";
    return std::nullopt;
  }
  journal::Pause quiet;
  id preferences = ns::autorelease(send(send(cls("HBPreferences"), "alloc"),
                                        "initWithIdentifier:", ns::string(PreferencesDomain)));
  result.switchOn =
      switchValue(send(preferences, "objectForKey:", ns::string(request.event->switchKey)));
  result.masterOn = switchValue(send(preferences, "objectForKey:", ns::string(MasterSwitchKey)));
  return result;
}

}  // namespace sounds
