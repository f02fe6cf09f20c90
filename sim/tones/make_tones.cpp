// plinka-make-tones BUNDLE: writes the demo device's sounds into BUNDLE/<Event>/<file>.
#include <cstdio>
#include <filesystem>

#include "tones.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: plinka-make-tones BUNDLE-FOLDER\n");
    return 2;
  }
  for (const tones::NamedSound& s : tones::demoSounds()) {
    std::filesystem::path folder = std::filesystem::path(argv[1]) / s.event;
    std::filesystem::create_directories(folder);
    std::string error;
    if (!tones::write((folder / s.fileName).string(), s.sound, error)) {
      std::fprintf(stderr, "plinka-make-tones: %s\n", error.c_str());
      return 1;
    }
  }
  return 0;
}
