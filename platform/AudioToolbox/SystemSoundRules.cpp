// What the system sound service takes: the device's rules for a sound file, read first, then
// the judgement that applies them. Reading the file is SoundFile.cpp's.
#include <AudioToolbox/SoundFile.h>
#include <device/device.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>

#include "internal.h"

namespace audio {
namespace {

// What the device takes as a system sound, in one place: these containers holding these
// codings, at most kLongestSystemSoundSeconds long.
constexpr Container kSystemSoundContainers[] = {Container::Caf, Container::Aiff, Container::AiffC,
                                                Container::Wav};
constexpr Coding kSystemSoundCodings[] = {Coding::LinearPcm, Coding::Ima4};

template <typename T, size_t N>
bool among(const T (&list)[N], T value) {
  return std::find(std::begin(list), std::end(list), value) != std::end(list);
}

}  // namespace

SystemSoundVerdict judgeSystemSound(const std::string& devicePath) {
  SystemSoundVerdict verdict;
  std::string error;
  std::string hostPath = device::hostPath(devicePath);
  std::error_code ec;
  verdict.missing = !std::filesystem::is_regular_file(hostPath, ec);
  std::unique_ptr<SoundFile> file = SoundFile::open(hostPath, error);
  if (file == nullptr) {
    verdict.reason = verdict.missing ? "no file" : "not audio: " + error;
    return verdict;
  }
  const SoundFacts& facts = file->facts();
  verdict.facts = facts;
  if (!among(kSystemSoundContainers, facts.container) ||
      !among(kSystemSoundCodings, facts.coding)) {
    verdict.reason = "refused format: " + facts.codec + " in " + facts.containerName +
                     " (the device takes linear PCM or IMA4 in CAF, AIFF or WAV)";
  } else if (facts.frames <= 0) {
    verdict.reason = "no audio in it";
  } else if (facts.seconds() > kLongestSystemSoundSeconds) {
    verdict.status = kAudioServicesSystemSoundExceededMaximumDurationError;
    verdict.reason = "too long: " + lengthText(facts.seconds()) + " (at most 30 s)";
  } else {
    verdict.status = kAudioServicesNoError;
  }
  return verdict;
}

bool ringerSilences(SystemSoundID id) {
  return id != 1521 && id != kSystemSoundID_Vibrate;
}

}  // namespace audio
