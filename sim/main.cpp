// plinka-sim: drive a simulated device with the product installed.
#include <cstdio>
#include <cstring>

#include "commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const Arguments&);
  const char* synopsis;
};

const Command kCommands[] = {
    {"springboard", springboardCommand,
     "springboard [--device-root DIR] [--json] [--wav FILE] [--tweak-dir DIR] SCENARIO"},
    {"settings", settingsCommand,
     "settings [--device-root DIR] [--machine ID] [--system-version V] [--json] [--png FILE] "
     "--rows ROWS SCRIPT"},
    {"device", deviceCommand,
     "device [--device-root DIR] [--machine ID] [--system-version V] [--mounts FILE] [--json]"
     " [compare VERSION]"},
    {"color", colorCommand,
     "color dominant IMAGE [--scale S] [--json] | text-for C... [--json] | random [--json]"},
};

int usage(FILE* out) {
  std::fprintf(out, "usage:\n");
  for (const Command& command : kCommands) std::fprintf(out, "  plinka-sim %s\n", command.synopsis);
  return out == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage(stderr);
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
    return usage(stdout);
  }
  for (const Command& command : kCommands) {
    if (std::strcmp(argv[1], command.name) == 0) {
      return command.run(Arguments(argv + 2, argv + argc));
    }
  }
  std::fprintf(stderr, "plinka-sim: unknown command '%s'\n", argv[1]);
  return usage(stderr);
}
