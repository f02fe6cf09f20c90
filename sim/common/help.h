// What plinka-sim's commands share in talking to the user: documented script lines, and the
// one-line messages of a failure.
#pragma once

#include <string>
#include <vector>

namespace sim {

// One line of a script language as `help` documents it.
struct LineHelp {
  const char* synopsis;  // "set ROW VALUE"
  const char* what;      // what it does, one paragraph
};

// The lines, each synopsis on its own line and what it does wrapped and indented below it.
std::string describeLines(const std::vector<LineHelp>& lines);

// Prints "plinka-sim COMMAND: MESSAGE" and a pointer to the command's help on one line of
// standard error; answers 2, the status of bad arguments.
int argumentError(const char* command, const std::string& message);
// Prints "plinka-sim COMMAND: MESSAGE" on standard error; answers `status` (1: failed while
// running).
int runtimeError(const char* command, const std::string& message, int status = 1);

// True when a --system-version value is a version: dot-separated numbers ("14", "14.4.2"),
// optionally followed by a suffix of letters and digits that starts with a letter ("13.0b2").
bool isSystemVersion(const std::string& text);

}  // namespace sim
