// Loading Plinka3.so as the hooking library does: read the tweak's filter beside it and load
// the library only into a process whose bundle the filter names.
#pragma once

#include <string>

namespace springboard {

constexpr const char* kHomeScreenBundle = "com.apple.springboard";
constexpr const char* kHomeScreenExecutable = "SpringBoard";

enum class LoadOutcome { Loaded, FilteredOut, Failed };

// Reads `<tweakDir>/Plinka3.plist` and, when its Filter names the home screen (in Bundles, or
// its executable in Executables), loads `<tweakDir>/Plinka3.so` with dlopen; the library's
// initialiser runs inside that call, within an autorelease pool. On failure `message` says what
// and names the file. The journal records "load" {library, loaded, reason when not loaded}:
// loaded only once dlopen has succeeded, and otherwise the loader's own message.
LoadOutcome loadTweak(const std::string& tweakDir, std::string& message);

}  // namespace springboard
