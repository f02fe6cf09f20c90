// One run of a program as its user runs it, measured from outside: its CPU time and its largest
// resident set (with those of the processes it waited for), its output thrown away.
#pragma once

#include <string>
#include <vector>

namespace bench_support {

struct ProgramRun {
  double cpuSeconds = -1;  // user + system; -1 when the program failed or could not start
  double peakMiB = -1;
};

// Runs `argv` (argv[0] is the program's path) with standard output and error sent to
// /dev/null, in a helper process of its own, so that the figures are this run's alone.
ProgramRun runProgram(std::vector<std::string> argv);

// A scratch folder removed with everything in it when it goes.
struct ScratchFolder {
  explicit ScratchFolder(const std::string& prefix);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::string path;
};

}  // namespace bench_support
