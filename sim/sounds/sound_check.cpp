#include "sound_check.h"

#include <Foundation/Foundation.h>
#include <device/device.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace sounds {
namespace {

namespace fs = std::filesystem;

// A file name as a user means it: without surrounding spaces, case or extension.
std::string looseName(std::string name) {
  auto space = [](unsigned char c) { return std::isspace(c) != 0; };
  while (!name.empty() && space(name.back())) name.pop_back();
  name.erase(name.begin(), std::find_if_not(name.begin(), name.end(), space));
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

// Files beside the path that differ from its name only in case, extension or spaces.
std::vector<std::string> nearMisses(const std::string& devicePath) {
  fs::path wanted = device::hostPath(devicePath);
  std::string loose = looseName(wanted.filename().string());
  std::vector<std::string> found;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(wanted.parent_path(), ec)) {
    std::string name = entry.path().filename().string();
    if (entry.is_regular_file(ec) && !loose.empty() && looseName(name) == loose) {
      found.push_back(name);
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

Outcome fileOutcome(const audio::SystemSoundVerdict& v) {
  if (v.status == kAudioServicesNoError) return Outcome::Plays;
  if (v.status == kAudioServicesSystemSoundExceededMaximumDurationError) return Outcome::TooLong;
  if (v.missing) return Outcome::Missing;
  return v.facts ? Outcome::Refused : Outcome::NotAudio;
}

const char* outcomeName(Outcome o) {
  switch (o) {
    case Outcome::Plays:
      return "plays";
    case Outcome::Silent:
      return "silent";
    case Outcome::SwitchedOff:
      return "off";
    case Outcome::Missing:
      return "missing";
    case Outcome::NotAudio:
      return "not-audio";
    case Outcome::Refused:
      return "refused";
    case Outcome::TooLong:
      return "too-long";
  }
  return "";
}

EventCheck checkEvent(const SoundEventFile& event, id preferences, bool ringerOn) {
  EventCheck check;
  check.event = &event;
  check.switchOn = switchValue(send(preferences, "objectForKey:", ns::string(event.switchKey)));
  id name = send(preferences, "objectForKey:", ns::string(event.nameKey));
  check.storedName = ns::toJson(name);
  // The path exactly as the sound player forms it, and as the service reads it from the URL.
  id format = ns::string(event.pathTemplate);
  id path = ns::autorelease(
      sendVariadic(send(cls("NSString"), "alloc"), "initWithFormat:", format, name));
  check.devicePath = ns::utf8(send(send(cls("NSURL"), "fileURLWithPath:", path), "path"));
  check.file = audio::judgeSystemSound(check.devicePath);
  check.outcome = fileOutcome(check.file);
  if (check.outcome == Outcome::Missing) check.nearMisses = nearMisses(check.devicePath);
  if (check.outcome == Outcome::Plays && !ringerOn) {
    check.outcome = Outcome::Silent;  // a sound made from a file is never a vibration
    check.nopeFelt = event.followedByNope && !audio::ringerSilences(1521);
  }
  if (!check.switchOn) check.outcome = Outcome::SwitchedOff;
  return check;
}

std::string quoted(const journal::Entry& value) {
  if (value.is_null()) return "(not set)";
  return value.dump();  // strings in quotes, so trailing spaces show; numbers as they are
}

// Why the file will or will not play, in words.
std::string fileText(const EventCheck& c) {
  const audio::SystemSoundVerdict& v = c.file;
  if (v.status == kAudioServicesNoError) return "plays (" + v.facts->summary() + ")";
  if (!v.missing) return v.reason;
  if (c.storedName.is_null()) return std::string("no file: ") + c.event->nameKey + " is not set";
  if (c.storedName == "") return std::string("no file: ") + c.event->nameKey + " is empty";
  std::string text = "no file";
  if (!c.nearMisses.empty()) {
    text += "; did you mean";
    for (size_t i = 0; i < c.nearMisses.size(); ++i) {
      text += (i == 0 ? " " : " or ") + journal::Entry(c.nearMisses[i]).dump();
    }
    text += "?";
  }
  return text;
}

std::string verdictText(const EventCheck& c) {
  switch (c.outcome) {
    case Outcome::SwitchedOff:
      return std::string("switched off (") + c.event->switchKey + "); the file: " + fileText(c);
    case Outcome::Silent:
      return "silent: the ringer is off (" + c.file.facts->summary() + ")" +
             (c.nopeFelt ? "; 1521 is still felt" : "");
    default:
      return fileText(c);
  }
}

}  // namespace

bool DeviceCheck::allPlay() const {
  if (!masterOn) return false;
  return std::all_of(events.begin(), events.end(), [](const EventCheck& e) {
    return e.outcome == Outcome::Plays || e.outcome == Outcome::SwitchedOff;
  });
}

DeviceCheck checkDevice(bool ringerOn) {
  DeviceCheck check;
  check.ringerOn = ringerOn;
  ns::AutoreleasePool pool;
  journal::Pause quiet;
  id preferences = ns::autorelease(send(send(cls("HBPreferences"), "alloc"),
                                        "initWithIdentifier:", ns::string(PreferencesDomain)));
  check.masterOn = switchValue(send(preferences, "objectForKey:", ns::string(MasterSwitchKey)));
  for (const SoundEventFile& event : kSoundEventFiles) {
    check.events.push_back(checkEvent(event, preferences, ringerOn));
  }
  return check;
}

std::string describe(const DeviceCheck& check) {
  std::string out;
  if (!check.masterOn) {
    out += std::string("The master switch (") + MasterSwitchKey +
           ") is off: the tweak installs nothing and no event sound plays.\n";
  }
  for (const EventCheck& e : check.events) {
    char head[32];
    std::snprintf(head, sizeof head, "%-9s %-4s ", e.event->event, e.switchOn ? "on" : "off");
    out += head + quoted(e.storedName) + "  " + e.devicePath + "  ->  " + verdictText(e) + "\n";
  }
  return out;
}

std::string describeJson(const DeviceCheck& check) {
  std::string out =
      journal::Entry{{"kind", "master"}, {"key", MasterSwitchKey}, {"on", check.masterOn}}.dump() +
      "\n";
  for (const EventCheck& e : check.events) {
    journal::Entry line{{"kind", "event"},
                        {"event", e.event->event},
                        {"switch", e.event->switchKey},
                        {"on", e.switchOn},
                        {"nameKey", e.event->nameKey},
                        {"name", e.storedName},
                        {"path", e.devicePath},
                        {"verdict", outcomeName(e.outcome)},
                        {"status", e.file.status},
                        {"reason", verdictText(e)}};
    if (const auto& f = e.file.facts) {
      line["file"] = {{"container", f->containerName}, {"codec", f->codec},
                      {"channels", f->channels},       {"rate", f->sampleRate},
                      {"seconds", f->seconds()},       {"decoder", f->decoder}};
    }
    if (!e.nearMisses.empty()) line["suggestions"] = e.nearMisses;
    if (e.nopeFelt) line["nopeFelt"] = true;
    out += line.dump() + "\n";
  }
  return out;
}

}  // namespace sounds
