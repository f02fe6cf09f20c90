// plinka-make-library DEVICE-ROOT: writes the example device's photo library into
// DEVICE-ROOT/var/mobile/Media/DCIM/100APPLE.
#include <cstdio>

#include "media.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: plinka-make-library DEVICE-ROOT\n");
    return 2;
  }
  std::string error;
  if (!media::writeExampleLibrary(argv[1], error)) {
    std::fprintf(stderr, "plinka-make-library: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
