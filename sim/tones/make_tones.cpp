// plinka-make-tones BUNDLE: writes the demo device's sounds into BUNDLE/<Event>/<file>.
#include <cstdio>
#include <filesystem>

#include "folder_argument.h"
#include "tones.h"

int main(int argc, char** argv) {
  sim::FolderArgument argument = sim::folderArgument(argc, argv, "plinka-make-tones BUNDLE-FOLDER");
  if (argument.exitStatus) return *argument.exitStatus;
  for (const tones::NamedSound& s : tones::demoSounds()) {
    std::filesystem::path folder = std::filesystem::path(argument.folder) / s.event;
    std::error_code ignored;  // a folder that cannot be made fails the write below, which says why
    std::filesystem::create_directories(folder, ignored);
    std::string error;
    if (!tones::write((folder / s.fileName).string(), s.sound, error)) {
      std::fprintf(stderr, "plinka-make-tones: %s\n", error.c_str());
      return 1;
    }
  }
  return 0;
}
