// plinka-sim springboard's scenario language on any text: the whole scenario is parsed and
// checked, and a bad line is answered with a message naming it.
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "fuzz_device.h"
#include "scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(fuzzing::bytesOf(data, size));
  std::string error;
  std::optional<springboard::Scenario> scenario =
      springboard::parseScenario(in, "fuzz.scenario", error);
  if (!scenario && error.rfind("fuzz.scenario:", 0) != 0) {
    std::fprintf(stderr, "a refused scenario without a message naming its line: '%s'\n",
                 error.c_str());
    std::abort();
  }
  return 0;
}
