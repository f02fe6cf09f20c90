// plinka-sim sounds [--device-root DIR] [--json] [--ringer on|off]
// plinka-sim sounds import EVENT FILE [--name NAME] [--force] --device-root DIR
#include <device/device.h>
#include <strings.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "commands.h"
#include "example_device.h"
#include "help.h"
#include "options.h"
#include "sound_check.h"
#include "sound_import.h"

namespace fs = std::filesystem;

namespace {

int bad(const std::string& message) {
  return sim::argumentError("sounds", message);
}

const SoundEventFile* findEvent(const std::string& name) {
  for (const SoundEventFile& event : kSoundEventFiles) {
    if (strcasecmp(event.event, name.c_str()) == 0) return &event;
  }
  return nullptr;
}

std::string lengthText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", seconds);
  return text;
}

int importCommand(const Arguments& args) {
  std::string deviceRoot;
  std::vector<std::string> operands;
  sounds::ImportRequest request;
  bool named = false;
  sim::OptionParser parser;
  parser.value("--device-root", deviceRoot, "--device-root needs a value")
      .value("--name", request.name, "--name needs a value",
             [&named](const std::string&) {
               named = true;
               return std::string();
             })
      .flag("--force", request.force)
      .operands(operands, 2, 2, "import takes an event and a file",
                "import takes an event and a file");
  std::string problem;
  if (!parser.parse(args, problem)) return bad(problem);
  request.event = findEvent(operands[0]);
  if (request.event == nullptr) return bad("no event '" + operands[0] + "'");
  request.sourcePath = operands[1];
  if (named && request.name.empty()) return bad("--name needs a file name");
  if (deviceRoot.empty()) return bad("import writes into a device: give --device-root DIR");
  if (!fs::is_directory(deviceRoot))
    return bad("the device root " + deviceRoot + " is not a folder");
  device::setRoot(fs::absolute(deviceRoot).string());

  std::string error;
  bool badInput = false;
  std::optional<sounds::ImportResult> done = sounds::importSound(request, error, badInput);
  if (!done) {
    return sim::runtimeError("sounds import", error, badInput ? 2 : 1);
  }
  std::cout << request.event->event << ": imported " << request.sourcePath << " ("
            << done->source.summary() << ")\n";
  std::cout << "  wrote " << done->devicePath << " (" << done->written.summary();
  if (done->trimmed) {
    std::cout << "; cut from "
              << (done->source.seconds() > audio::kLongestSystemSoundSeconds
                      ? lengthText(done->source.seconds())
                      : std::string("a longer sound"))
              << " with a " << lengthText(sounds::kFadeSeconds) << " fade";
  }
  if (done->source.channels > 2) {
    std::cout << "; " << done->source.channels << " channels mixed down to stereo";
  }
  std::cout << ")\n";
  std::cout << "  stored " << request.event->nameKey << " = \"" << done->name << "\"\n";
  if (!done->switchOn) {
    std::cout << "  note: " << request.event->switchKey << " is off: turn it on to hear it\n";
  }
  if (!done->masterOn) {
    std::cout << "  note: the master switch " << MasterSwitchKey << " is off\n";
  }
  return 0;
}

}  // namespace

std::string soundsHelp() {
  return "usage: plinka-sim sounds [--device-root DIR] [--json] [--ringer on|off]\n"
         "       plinka-sim sounds import EVENT FILE [--name NAME] [--force] --device-root DIR\n"
         "\n"
         "The first form says, for each event, whether its sound will play and, if not, why\n"
         "(no file, a near miss, a refused format, too long); exit status 0 when every event\n"
         "that is switched on will be heard. Without --device-root, the example device.\n"
         "\n"
         "The second makes FILE (WAV, AIFF, CAF, FLAC, Ogg, MP3, AAC/M4A) into a sound the\n"
         "device plays (16-bit PCM CAF, at most 30 s) in EVENT's folder (Charge, Keyboard, Lock,\n"
         "Passcode, Respring, Unlock, Volume), and stores its name under the event's key. An\n"
         "existing file is replaced only with --force.\n"
         "\n"
         "exit status: 0 done (every enabled sound plays); 1 some will not, or failed while\n"
         "running; 2 bad arguments or a file that is not audio.\n";
}

int soundsCommand(const Arguments& args) {
  if (!args.empty() && args[0] == "import") return importCommand({args.begin() + 1, args.end()});
  std::string deviceRoot;
  bool json = false;
  std::string ringer = "on";
  sim::OptionParser parser;
  parser.flag("--json", json)
      .value("--device-root", deviceRoot, "--device-root needs a folder")
      .value("--ringer", ringer, "--ringer takes on or off",
             [](const std::string& position) {
               return position == "on" || position == "off" ? std::string()
                                                            : "--ringer takes on or off";
             })
      .unknown("unknown argument %s");
  std::string problem;
  if (!parser.parse(args, problem)) return bad(problem);
  bool ringerOn = ringer == "on";
  if (deviceRoot.empty()) deviceRoot = sim::exampleDevice().string();
  if (!fs::is_directory(deviceRoot))
    return bad("the device root " + deviceRoot + " is not a folder");
  device::setRoot(fs::absolute(deviceRoot).string());
  device::setRingerOn(ringerOn);
  sounds::DeviceCheck check = sounds::checkDevice(ringerOn);
  std::cout << (json ? sounds::describeJson(check) : sounds::describe(check));
  return check.allPlay() ? 0 : 1;
}
