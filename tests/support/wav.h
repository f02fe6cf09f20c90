// Reading back a sound file in tests: its samples, and how loud a stretch of it is.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct Samples {
  std::vector<float> mono;  // channels averaged
  int rate = 0;             // 0 when the file could not be read
};

Samples readSamples(const std::string& path);

// The largest absolute sample between two times, in seconds.
double peak(const Samples& samples, double from, double to);

}  // namespace testing_support
