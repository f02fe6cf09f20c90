// The body of the studio's line requests (POST /api/springboard and /api/settings) on any bytes:
// the body is read as {"line": TEXT}, and the line is checked as the home-screen host checks it.
// A refusal always says why, and never names a file and line of a script.
#include <set>

#include "fuzz_device.h"
#include "line_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  std::optional<std::string> line = studio::lineOfBody(fuzzing::bytesOf(data, size), error);
  if (!line) {
    fuzzing::require(!error.empty(), "a refused body without a message");
    return 0;
  }
  static const std::set<std::string> leftOut = {"SBVolumeControl"};
  std::optional<springboard::Command> command =
      studio::checkScenarioLine(*line, leftOut, {}, error);
  if (!command) {
    fuzzing::require(!error.empty(), "a refused line without a message");
    fuzzing::require(error.rfind("line:", 0) != 0, "a refusal naming the script's line");
  }
  return 0;
}
