#include <cstdio>

#include "commands.h"

int deviceCommand(const Arguments&) {
  std::fprintf(stderr, "plinka-sim device: not available yet\n");
  return 2;
}
int colorCommand(const Arguments&) {
  std::fprintf(stderr, "plinka-sim color: not available yet\n");
  return 2;
}
