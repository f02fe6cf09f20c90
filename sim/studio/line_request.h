// The line requests of the studio: the body of POST /api/settings and /api/springboard, and the
// check of a scenario line by the home-screen host, which knows its process is running.
#pragma once

#include <optional>
#include <set>
#include <string>

#include "scenario.h"

namespace studio {

// The line of a body {"line": TEXT}; nothing, with `error`, for a body that is not JSON or not
// that shape.
std::optional<std::string> lineOfBody(const std::string& body, std::string& error);

// Checks one scenario line as the scenario parser checks it in a scenario whose home-screen
// process is running, with these classes left out of it and to be left out at the next launch.
// A blank line or a comment answers a command whose `line` is 0. A refused line answers nothing,
// with the parser's message (without FILE:LINE) in `error`; so does text with a line break.
std::optional<springboard::Command> checkScenarioLine(const std::string& line,
                                                      const std::set<std::string>& leftOutNow,
                                                      const std::set<std::string>& leftOutNext,
                                                      std::string& error);

}  // namespace studio
