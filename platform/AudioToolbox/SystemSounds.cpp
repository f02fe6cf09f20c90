#include <AudioToolbox/AudioToolbox.h>
#include <Foundation/Foundation.h>
#include <device/device.h>
#include <device/journal.h>
#include <sndfile.h>

#include <map>
#include <string>

namespace {

constexpr double kLongestSoundSeconds = 30.0;
constexpr SystemSoundID kFirstCreatedID = 4097;
constexpr OSStatus kParamErr = -50;

struct Registry {
  std::map<SystemSoundID, std::string> sounds;  // ID -> device path
  SystemSoundID next = kFirstCreatedID;
};

Registry& registry() {
  static Registry r;
  return r;
}

bool isBuiltin(SystemSoundID id) {
  return (id >= 1000 && id <= 2000) || id == kSystemSoundID_Vibrate;
}

bool acceptedContainer(int format) {
  int major = format & SF_FORMAT_TYPEMASK;
  return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_AIFF ||
         major == SF_FORMAT_CAF;
}

bool acceptedCodec(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
    case SF_FORMAT_IMA_ADPCM:
      return true;
    default:
      return false;
  }
}

// What the device answers for the file at a device path.
OSStatus check(const std::string& devicePath) {
  SF_INFO info{};
  SNDFILE* file = sf_open(device::hostPath(devicePath).c_str(), SFM_READ, &info);
  if (file == nullptr) return kAudioServicesSystemSoundUnspecifiedError;
  sf_close(file);
  if (!acceptedContainer(info.format) || !acceptedCodec(info.format) || info.samplerate <= 0 ||
      info.frames <= 0) {
    return kAudioServicesSystemSoundUnspecifiedError;
  }
  if (static_cast<double>(info.frames) / info.samplerate > kLongestSoundSeconds) {
    return kAudioServicesSystemSoundExceededMaximumDurationError;
  }
  return kAudioServicesNoError;
}

}  // namespace

extern "C" OSStatus AudioServicesCreateSystemSoundID(CFURLRef inFileURL,
                                                     SystemSoundID* outSystemSoundID) {
  if (outSystemSoundID == nullptr) return kParamErr;
  id url = reinterpret_cast<id>(const_cast<__CFURL*>(inFileURL));
  ns::AutoreleasePool pool;
  bool fileURL = url != nil && msgSend<BOOL>(url, sel("isFileURL"));
  std::string path = fileURL ? ns::utf8(msgSend(url, sel("path"))) : "";
  OSStatus status = fileURL ? check(path) : kAudioServicesSystemSoundUnspecifiedError;
  SystemSoundID created = 0;
  if (status == kAudioServicesNoError) {
    created = registry().next++;
    registry().sounds.emplace(created, path);
    *outSystemSoundID = created;
  }
  if (!journal::recording()) return status;
  journal::record("sound-create", {{"path", fileURL ? journal::Entry(path) : journal::Entry()},
                                   {"status", status},
                                   {"id", created}});
  return status;
}

extern "C" void AudioServicesPlaySystemSound(SystemSoundID inSystemSoundID) {
  if (!journal::recording()) return;
  journal::Entry fields{{"id", inSystemSoundID}};
  auto found = registry().sounds.find(inSystemSoundID);
  if (found != registry().sounds.end()) {
    fields["path"] = found->second;
  } else if (!isBuiltin(inSystemSoundID)) {
    fields["silent"] = true;
  }
  journal::record("sound-play", fields);
}

extern "C" OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID inSystemSoundID) {
  OSStatus status = registry().sounds.erase(inSystemSoundID) == 1 ? kAudioServicesNoError
                                                                  : kAudioServicesBadSpecifierError;
  if (journal::recording()) {
    journal::record("sound-dispose", {{"id", inSystemSoundID}, {"status", status}});
  }
  return status;
}
