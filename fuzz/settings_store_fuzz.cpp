// The settings store over a preferences file of any bytes, read the ways the product reads it:
// the tweak through HBPreferences (each value as a switch, a number, or a sound's file name made
// into a sound), the settings pane through its user-defaults domain, which it then writes.
//
// Checked beyond "no crash": a file that is not a readable dictionary is set aside byte for byte
// before the domain is written, and a readable one keeps every key it had.
#include <AudioToolbox/AudioToolbox.h>
#include <Foundation/Foundation.h>
#include <device/device.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "fuzz_device.h"

namespace {

constexpr const char* kDomain = "com.plinka.plinka3";
constexpr const char* kFile = "/var/mobile/Library/Preferences/com.plinka.plinka3.plist";

std::string hostFileContent(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

// The tweak's reading of one value: a switch or a number when it answers the message, and a
// sound's file name made into a system sound, as a sound event does.
void readAsTheTweakDoes(id value) {
  if (msgSend<BOOL>(value, sel("respondsToSelector:"), sel("boolValue"))) {
    msgSend<BOOL>(value, sel("boolValue"));
  }
  if (msgSend<BOOL>(value, sel("respondsToSelector:"), sel("integerValue"))) {
    msgSend<NSInteger>(value, sel("integerValue"));
  }
  id path = msgSend(ns::string("/var/LIY/PreferenceBundles/Plinka3.bundle/Charge"),
                    sel("stringByAppendingPathComponent:"), ns::string(ns::describe(value)));
  id url = msgSend(cls("NSURL"), sel("fileURLWithPath:"), path);
  SystemSoundID sound = 0;
  if (AudioServicesCreateSystemSoundID(reinterpret_cast<CFURLRef>(url), &sound) == 0) {
    AudioServicesPlaySystemSound(sound);
    AudioServicesDisposeSystemSoundID(sound);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzing::useTemporaryDevice();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace fs = std::filesystem;
  ns::AutoreleasePool pool;
  std::string bytes = fuzzing::bytesOf(data, size);
  std::string host = device::hostPath(kFile);
  std::error_code error;
  fs::remove_all(fs::path(host).parent_path(), error);
  fuzzing::writeDeviceFile(kFile, bytes);

  // The tweak: every key the file holds, and one it never holds.
  id stored = ns::readPlist(host);
  bool readable = stored != nil && ns::isKindOf(stored, "NSDictionary");
  id store = msgSend(msgSend(cls("HBPreferences"), sel("alloc")), sel("initWithIdentifier:"),
                     ns::string(kDomain));
  std::vector<id> keys;
  if (readable) {
    for (auto& [key, value] : ns::dictionaryEntries(stored)) keys.push_back(key);
  }
  keys.push_back(ns::string("kEnabledPK"));
  for (id key : keys) {
    id value = msgSend(store, sel("objectForKey:"), key);
    if (value != nil) readAsTheTweakDoes(value);
  }
  ns::release(store);

  // The settings pane: reads a switch, then the user turns it on.
  id defaults = msgSend(cls("NSUserDefaults"), sel("standardUserDefaults"));
  msgSend(defaults, sel("objectForKey:inDomain:"), ns::string("kCustomLock"), ns::string(kDomain));
  msgSend<void>(defaults, sel("setObject:forKey:inDomain:"), ns::boolNumber(true),
                ns::string("kCustomLock"), ns::string(kDomain));

  id written = ns::readPlist(host);
  fuzzing::require(written != nil && ns::isKindOf(written, "NSDictionary"),
                   "the domain was not written");
  if (readable) {
    for (auto& [key, value] : ns::dictionaryEntries(stored)) {
      fuzzing::require(msgSend(written, sel("objectForKey:"), key) != nil, "a stored key was lost");
    }
  } else {
    fuzzing::require(hostFileContent(host + ".unreadable") == bytes,
                     "an unreadable file was not kept as it was");
  }
  fuzzing::writeJournal();
  return 0;
}
