// AudioServicesCreateSystemSoundID on a sound file of any bytes: a sound is made only from what
// the device accepts, and otherwise the status says why and the caller's ID stays untouched.
#include <AudioToolbox/AudioToolbox.h>
#include <Foundation/Foundation.h>

#include <cstdio>
#include <cstdlib>

#include "fuzz_device.h"

namespace {
constexpr const char* kSound = "/var/LIY/PreferenceBundles/Plinka3.bundle/Lock/Fuzz.caf";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzing::useTemporaryDevice();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ns::AutoreleasePool pool;
  fuzzing::writeDeviceFile(kSound, fuzzing::bytesOf(data, size));
  id url = msgSend(cls("NSURL"), sel("fileURLWithPath:"), ns::string(kSound));
  constexpr SystemSoundID kUntouched = 77;
  SystemSoundID sound = kUntouched;
  OSStatus status = AudioServicesCreateSystemSoundID(reinterpret_cast<CFURLRef>(url), &sound);
  if (status == kAudioServicesNoError) {
    AudioServicesPlaySystemSound(sound);
    AudioServicesDisposeSystemSoundID(sound);
  } else if (sound != kUntouched ||
             (status != kAudioServicesSystemSoundUnspecifiedError &&
              status != kAudioServicesSystemSoundExceededMaximumDurationError)) {
    std::fprintf(stderr, "a refused sound answered %d and set the ID to %u\n", status, sound);
    std::abort();
  }
  fuzzing::writeJournal();
  return 0;
}
