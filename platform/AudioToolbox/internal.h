// Shared between the sound service's own files.
#pragma once

#include <cstdio>
#include <string>

namespace audio {

// A length as the service's messages give it: "12.34 s".
inline std::string lengthText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", seconds);
  return text;
}

}  // namespace audio
