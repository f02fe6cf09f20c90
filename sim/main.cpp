// plinka-sim: drive a simulated device with the product installed.
#include <cstdio>
#include <string>

#include "commands.h"
#include "help.h"

#ifndef PLINKA_VERSION
#define PLINKA_VERSION "unknown"
#endif

namespace {

struct Command {
  const char* name;
  int (*run)(const Arguments&);
  std::string (*help)();
  const char* summary;
};

const Command kCommands[] = {
    {"springboard", springboardCommand, springboardHelp,
     "run a scenario on a simulated home screen with Plinka3 loaded"},
    {"settings", settingsCommand, settingsHelp,
     "run a script on the settings pane's rows (pkprefs3's list controller)"},
    {"device", deviceCommand, deviceHelp,
     "ask ZELDeviceUtils about the simulated device, or compare its iOS version"},
    {"sounds", soundsCommand, soundsHelp,
     "say whether each event's sound will play, or import an audio file as one"},
    {"color", colorCommand, colorHelp,
     "ZELColor's dominant colour of an image, readable text colour, or a random colour"},
    {"studio", studioCommand, studioHelp,
     "the simulated device behind a local web server, one line at a time"},
};

const Command* find(const std::string& name) {
  for (const Command& command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

void overview(FILE* out) {
  std::fprintf(out, "usage: plinka-sim COMMAND [ARGUMENTS]\n\ncommands:\n");
  for (const Command& command : kCommands) {
    std::fprintf(out, "  %-12s %s\n", command.name, command.summary);
  }
  std::fprintf(out,
               "\n'plinka-sim help COMMAND' (or 'plinka-sim COMMAND --help') describes a command;\n"
               "'plinka-sim --version' prints the version.\n");
}

bool asksForHelp(const std::string& arg) {
  return arg == "--help" || arg == "-h";
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args(argv + 1, argv + argc);
  if (args.empty()) {
    overview(stderr);
    return 2;
  }
  const std::string& first = args[0];
  if (first == "--version") {
    std::printf("plinka-sim %s\n", PLINKA_VERSION);
    return 0;
  }
  if (first == "help" || asksForHelp(first)) {
    if (args.size() == 1) {
      overview(stdout);
      return 0;
    }
    const Command* command = find(args[1]);
    if (command == nullptr || args.size() > 2) {
      std::fprintf(stderr, "plinka-sim help: no command '%s' (see: plinka-sim help)\n",
                   args[1].c_str());
      return 2;
    }
    std::fputs(command->help().c_str(), stdout);
    return 0;
  }
  // The studio's hosts: started by the studio itself, never listed.
  if (first == "studio-host") return studioHostCommand({args.begin() + 1, args.end()});
  const Command* command = find(first);
  if (command == nullptr) {
    std::fprintf(stderr, "plinka-sim: unknown command '%s' (see: plinka-sim help)\n",
                 first.c_str());
    return 2;
  }
  Arguments rest(args.begin() + 1, args.end());
  for (const std::string& arg : rest) {
    if (asksForHelp(arg)) {
      std::fputs(command->help().c_str(), stdout);
      return 0;
    }
  }
  return command->run(rest);
}
