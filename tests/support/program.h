// Running a program of the project as its users do, and reading what it said.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct ProgramRun {
  int status = -1;  // the exit status; 128 + the signal when a signal ended it
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs `program` with `args`, `input` on its standard input, and waits for it.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& input = "");

}  // namespace testing_support
