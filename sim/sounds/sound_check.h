// What the device will do with each event's sound: the answer to "why doesn't my sound play?".
//
// The settings are read from the device's store as the tweak reads them, each path is formed
// from the tweak's own table with the platform's string formatting, and the verdict on each
// file is the system sound service's own (audio::judgeSystemSound).
#pragma once

#include <AudioToolbox/SoundFile.h>
#include <device/journal.h>

#include <string>
#include <vector>

#include "tweak/sound_events.h"

namespace sounds {

enum class Outcome { Plays, Silent, SwitchedOff, Missing, NotAudio, Refused, TooLong };

struct EventCheck {
  const SoundEventFile* event;
  bool switchOn = false;
  journal::Entry storedName;  // the stored value as JSON; null when absent
  std::string devicePath;     // the path the tweak opens, as it forms it
  Outcome outcome = Outcome::Missing;
  audio::SystemSoundVerdict file;       // the service's verdict on the file
  std::vector<std::string> nearMisses;  // files in the folder the name may have meant
  bool nopeFelt = false;                // 1521 follows and is felt with the ringer off
};

struct DeviceCheck {
  bool masterOn = false;
  bool ringerOn = true;
  std::vector<EventCheck> events;  // in the order of SoundEvent

  // Every event that is switched on will be heard (and the master switch is on).
  bool allPlay() const;
};

// Checks the device under the current device root with the ringer as given.
DeviceCheck checkDevice(bool ringerOn);

// One line of text per event, the master switch first when it is off.
std::string describe(const DeviceCheck& check);
// One JSON object per line: the master switch, then each event.
std::string describeJson(const DeviceCheck& check);

}  // namespace sounds
