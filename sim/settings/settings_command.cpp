#include <cstdio>

#include "commands.h"

int settingsCommand(const Arguments&) {
  std::fprintf(stderr, "plinka-sim settings: not available yet\n");
  return 2;
}
