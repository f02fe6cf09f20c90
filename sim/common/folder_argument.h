// The one argument of the build's generators (plinka-make-tones, -library, -icons): the folder they
// write into. "--help" prints the usage and a word that starts with '-' is refused, so that a
// mistyped option never becomes a folder of that name.
#pragma once

#include <cstdio>
#include <cstring>
#include <optional>

namespace sim {

// The folder named on the command line, or the exit status to end with when there is none.
struct FolderArgument {
  const char* folder = nullptr;
  std::optional<int> exitStatus;
};

inline FolderArgument folderArgument(int argc, char** argv, const char* usage) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("usage: %s\n", usage);
    return {nullptr, 0};
  }
  if (argc != 2 || argv[1][0] == '-' || argv[1][0] == '\0') {
    std::fprintf(stderr, "usage: %s\n", usage);
    return {nullptr, 2};
  }
  return {argv[1], std::nullopt};
}

}  // namespace sim
