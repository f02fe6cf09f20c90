// The body of the studio's line requests (POST /api/springboard and /api/settings) on any bytes:
// the body is read as {"line": TEXT}, and the line is checked as the home-screen host checks it,
// by the scenario parser's single-line path in a running process. A refusal always says why,
// and never names a file and line of a script.
#include <vector>

#include "fuzz_device.h"
#include "line_request.h"
#include "scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  std::optional<std::string> line = studio::lineOfBody(fuzzing::bytesOf(data, size), error);
  if (!line) {
    fuzzing::require(!error.empty(), "a refused body without a message");
    return 0;
  }
  if (studio::holdsLineBreak(*line)) return 0;
  springboard::ScenarioParser::State running;
  running.running = true;
  running.leftOutNow = {"SBVolumeControl"};
  springboard::ScenarioParser parser("studio", running);
  std::vector<springboard::Command> commands;
  if (!parser.parseLine(*line, 1, commands, error)) {
    std::string message = studio::withoutPlace(error, "studio", 1);
    fuzzing::require(!message.empty(), "a refused line without a message");
    fuzzing::require(message.rfind("studio:", 0) != 0, "a refusal naming the script's line");
    fuzzing::require(commands.empty(), "a refused line with a command");
  } else {
    fuzzing::require(commands.size() <= 1, "one line, more than one command");
  }
  return 0;
}
