#include <AudioToolbox/AudioToolbox.h>
#include <AudioToolbox/SoundFile.h>
#include <Foundation/Foundation.h>
#include <device/device.h>
#include <device/journal.h>

#include <map>
#include <string>

namespace {

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

}  // namespace

extern "C" OSStatus AudioServicesCreateSystemSoundID(CFURLRef inFileURL,
                                                     SystemSoundID* outSystemSoundID) {
  if (outSystemSoundID == nullptr) return kParamErr;
  id url = reinterpret_cast<id>(const_cast<__CFURL*>(inFileURL));
  ns::AutoreleasePool pool;
  bool fileURL = url != nil && msgSend<BOOL>(url, sel("isFileURL"));
  std::string path = fileURL ? ns::utf8(msgSend(url, sel("path"))) : "";
  OSStatus status =
      fileURL ? audio::judgeSystemSound(path).status : kAudioServicesSystemSoundUnspecifiedError;
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
  bool known = found != registry().sounds.end();
  if (known) fields["path"] = found->second;
  if (!known && !isBuiltin(inSystemSoundID)) {
    fields["silent"] = true;
  } else if (!device::ringerOn() && audio::ringerSilences(inSystemSoundID)) {
    fields["silent"] = true;
    fields["ringer"] = "off";
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
