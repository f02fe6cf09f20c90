// plinka-make-library DEVICE-ROOT: writes the example device's photo library into
// DEVICE-ROOT/var/mobile/Media/DCIM/100APPLE.
#include <cstdio>

#include "folder_argument.h"
#include "media.h"

int main(int argc, char** argv) {
  sim::FolderArgument argument = sim::folderArgument(argc, argv, "plinka-make-library DEVICE-ROOT");
  if (argument.exitStatus) return *argument.exitStatus;
  std::string error;
  if (!media::writeExampleLibrary(argument.folder, error)) {
    std::fprintf(stderr, "plinka-make-library: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
