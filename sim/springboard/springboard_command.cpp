// plinka-sim springboard [--device-root DIR] [--json] [--wav FILE] [--tweak-dir DIR] SCENARIO
#include <AudioToolbox/Mixdown.h>
#include <device/device.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "commands.h"
#include "example_device.h"
#include "scenario.h"
#include "session.h"
#include "timeline.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: plinka-sim springboard [--device-root DIR] [--json] [--wav FILE] [--tweak-dir DIR] "
    "SCENARIO\n"
    "  SCENARIO is a file, or - for standard input.\n";

int bad(const std::string& message) {
  std::fprintf(stderr, "plinka-sim springboard: %s\n%s", message.c_str(), kUsage);
  return 2;
}

bool writeWav(const std::string& output, const std::vector<journal::Entry>& entries,
              std::string& error) {
  std::vector<audio::PlayedSound> sounds;
  for (const journal::Entry& e : entries) {
    if (e.value("kind", "") != "sound-play" || e.value("silent", false)) continue;
    audio::PlayedSound sound{e.value("t", 0.0), "", 0};
    if (e.contains("path")) {
      sound.hostPath = device::hostPath(e["path"].get<std::string>());
    } else {
      sound.builtin = e["id"].get<uint32_t>();
    }
    sounds.push_back(sound);
  }
  if (!audio::writeMixdown(output, sounds, error)) return false;
  std::fprintf(stderr, "plinka-sim springboard: wrote %s (%zu sounds)\n", output.c_str(),
               sounds.size());
  return true;
}

}  // namespace

int springboardCommand(const Arguments& args) {
  std::string deviceRoot;
  std::string wav;
  std::string tweakDir;
  std::string scenarioPath;
  bool json = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    if (a == "--json") {
      json = true;
    } else if (a == "--device-root") {
      if (!value(deviceRoot)) return bad("--device-root needs a folder");
    } else if (a == "--wav") {
      if (!value(wav)) return bad("--wav needs a file");
    } else if (a == "--tweak-dir") {
      if (!value(tweakDir)) return bad("--tweak-dir needs a folder");
    } else if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return bad("unknown option " + a);
    } else if (scenarioPath.empty()) {
      scenarioPath = a;
    } else {
      return bad("one scenario at a time");
    }
  }
  if (scenarioPath.empty()) return bad("no scenario given");

  std::ifstream file;
  std::istream* in = &std::cin;
  std::string name = scenarioPath == "-" ? "<stdin>" : scenarioPath;
  if (scenarioPath != "-") {
    file.open(scenarioPath);
    if (!file) return bad("cannot read " + scenarioPath);
    in = &file;
  }
  std::string error;
  std::optional<springboard::Scenario> scenario = springboard::parseScenario(*in, name, error);
  if (!scenario) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }

  sim::TemporaryDevice temporary;
  if (deviceRoot.empty()) {
    if (!temporary.make(error)) {
      std::fprintf(stderr, "plinka-sim springboard: %s\n", error.c_str());
      return 1;
    }
    deviceRoot = temporary.path().string();
  } else if (!fs::is_directory(deviceRoot)) {
    return bad("the device root " + deviceRoot + " is not a folder");
  }
  if (tweakDir.empty()) tweakDir = sim::tweakFolder().string();

  springboard::SessionResult result =
      springboard::runSession(*scenario, {fs::absolute(deviceRoot).string(), tweakDir});
  for (const journal::Entry& entry : result.journal) {
    std::cout << (json ? entry.dump() : springboard::timelineLine(entry)) << "\n";
  }
  std::cout.flush();
  if (result.exitStatus != 0) {
    std::fprintf(stderr, "plinka-sim springboard: %s\n", result.error.c_str());
    return result.exitStatus;
  }
  if (!wav.empty() && !writeWav(wav, result.journal, error)) {
    std::fprintf(stderr, "plinka-sim springboard: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
