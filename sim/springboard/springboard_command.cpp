#include <cstdio>

#include "commands.h"

int springboardCommand(const Arguments&) {
  std::fprintf(stderr, "plinka-sim springboard: not available yet\n");
  return 2;
}
