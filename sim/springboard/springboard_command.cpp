// plinka-sim springboard [--device-root DIR] [--json] [--wav FILE] [--tweak-dir DIR] SCENARIO
#include <AudioToolbox/Mixdown.h>
#include <device/device.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "commands.h"
#include "example_device.h"
#include "help.h"
#include "options.h"
#include "scenario.h"
#include "session.h"
#include "timeline.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kName = "springboard";

int bad(const std::string& message) {
  return sim::argumentError(kName, message);
}
int failed(const std::string& message, int status = 1) {
  return sim::runtimeError(kName, message, status);
}

// The sound a journal entry makes heard, if it is a play that is heard.
std::optional<audio::PlayedSound> heard(const journal::Entry& e) {
  if (e.value("kind", "") != "sound-play" || e.value("silent", false)) return std::nullopt;
  audio::PlayedSound sound{e.value("t", 0.0), "", 0};
  if (e.contains("path")) {
    sound.hostPath = device::hostPath(e["path"].get<std::string>());
  } else {
    sound.builtin = e["id"].get<uint32_t>();
  }
  return sound;
}

}  // namespace

std::string springboardHelp() {
  return "usage: plinka-sim springboard [--device-root DIR] [--json] [--wav FILE] [--tweak-dir DIR]"
         " SCENARIO\n"
         "\n"
         "Runs SCENARIO (a file, or - for standard input) on a simulated home screen with\n"
         "Plinka3.so installed, and prints the journal of what happened as a timeline.\n"
         "\n"
         "options:\n"
         "  --device-root DIR  the folder that stands for the device's /; default: a fresh\n"
         "                     temporary copy of the example device, removed afterwards\n"
         "  --json             the journal as JSON lines, one object per entry, and nothing else\n"
         "  --wav FILE         also write every sound heard, mixed at its time, as a 44.1 kHz WAV\n"
         "                     (its folder is checked and the file created before anything\n"
         "                     runs)\n"
         "  --tweak-dir DIR    where Plinka3.so and its filter Plinka3.plist are\n"
         "\n"
         "Scenario lines (a '#' that begins a word starts a comment; blank lines are ignored;\n"
         "the whole scenario is checked before anything runs, each bad line reported as\n"
         "FILE:LINE: message with exit status 2):\n" +
         sim::describeLines(springboard::scenarioLines()) +
         "\n"
         "Each press or host call takes 0.2 s of simulated time; wait takes what it says;\n"
         "pref, set, without, register and note take none.\n"
         "\n"
         "exit status: 0 done; 1 a process could not load the tweak or crashed, or a file could\n"
         "not be written; 2 bad arguments or a bad scenario line.\n";
}

int springboardCommand(const Arguments& args) {
  std::string deviceRoot;
  std::string wav;
  std::string tweakDir;
  std::vector<std::string> scenarios;
  bool json = false;
  sim::OptionParser parser;
  parser.flag("--json", json)
      .value("--device-root", deviceRoot, "--device-root needs a folder")
      .output("--wav", wav, "--wav needs a file")
      .value("--tweak-dir", tweakDir, "--tweak-dir needs a folder")
      .operands(scenarios, 1, 1, "no scenario given", "one scenario at a time");
  std::string error;
  if (!parser.parse(args, error)) return bad(error);
  const std::string& scenarioPath = scenarios[0];
  if (!sim::checkOutputs(parser.outputs(), error)) return failed(error);

  std::ifstream file;
  std::istream* in = &std::cin;
  std::string name = scenarioPath == "-" ? "<stdin>" : scenarioPath;
  if (scenarioPath != "-") {
    file.open(scenarioPath);
    if (!file || fs::is_directory(scenarioPath)) {
      return failed("cannot read the scenario " + scenarioPath, 2);
    }
    in = &file;
  }
  std::optional<springboard::Scenario> scenario = springboard::parseScenario(*in, name, error);
  if (!scenario) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }

  sim::TemporaryDevice temporary;
  if (deviceRoot.empty()) {
    if (!temporary.make(error)) return failed(error);
    deviceRoot = temporary.path().string();
  } else if (!fs::is_directory(deviceRoot)) {
    return failed("the device root " + deviceRoot + " is not a folder", 2);
  }
  if (tweakDir.empty()) tweakDir = sim::tweakFolder().string();

  audio::Mixdown mix;
  if (!wav.empty() && !mix.open(wav, error)) return failed(error);

  // Each entry is printed, and heard, as the session makes it.
  auto show = [&](const journal::Entry& entry) {
    std::cout << (json ? entry.dump() : springboard::timelineLine(entry)) << "\n";
    if (!wav.empty()) {
      if (std::optional<audio::PlayedSound> sound = heard(entry)) mix.play(*sound);
    }
  };
  springboard::SessionResult result =
      springboard::runSession(*scenario, {fs::absolute(deviceRoot).string(), tweakDir}, show);
  std::cout.flush();
  if (result.exitStatus != 0) return failed(result.error, result.exitStatus);
  if (!wav.empty()) {
    if (!mix.finish(error)) return failed(error);
    std::fprintf(stderr, "plinka-sim springboard: wrote %s (%zu sounds)\n", wav.c_str(),
                 mix.played());
  }
  return 0;
}
