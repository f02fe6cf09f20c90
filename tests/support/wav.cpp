#include "wav.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>

namespace testing_support {

Samples readSamples(const std::string& path) {
  Samples samples;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return samples;
  std::vector<float> interleaved(static_cast<size_t>(info.frames) * info.channels);
  sf_readf_float(file, interleaved.data(), info.frames);
  sf_close(file);
  samples.rate = info.samplerate;
  samples.mono.resize(static_cast<size_t>(info.frames));
  for (size_t i = 0; i < samples.mono.size(); ++i) {
    float sum = 0;
    for (int c = 0; c < info.channels; ++c) sum += interleaved[i * info.channels + c];
    samples.mono[i] = sum / static_cast<float>(info.channels);
  }
  return samples;
}

double peak(const Samples& samples, double from, double to) {
  double loudest = 0;
  size_t first = static_cast<size_t>(std::max(0.0, from) * samples.rate);
  for (size_t i = first; i < samples.mono.size() && i < to * samples.rate; ++i) {
    loudest = std::max(loudest, std::fabs(static_cast<double>(samples.mono[i])));
  }
  return loudest;
}

}  // namespace testing_support
