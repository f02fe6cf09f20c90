#include "program_run.h"

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace bench_support {

ProgramRun runProgram(std::vector<std::string> argv) {
  int report[2];
  if (argv.empty() || pipe(report) != 0) return {};
  // The helper waits for the program alone, so that what it reads of its children is the run's.
  pid_t helper = fork();
  if (helper == 0) {
    close(report[0]);
    pid_t child = fork();
    if (child == 0) {
      std::vector<char*> words;
      for (std::string& word : argv) words.push_back(word.data());
      words.push_back(nullptr);
      if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
      execv(words[0], words.data());
      _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    ProgramRun run;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
      auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
      run.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
      run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    }
    _exit(write(report[1], &run, sizeof run) == sizeof run ? 0 : 1);
  }
  close(report[1]);
  ProgramRun run;
  if (helper < 0 || read(report[0], &run, sizeof run) != sizeof run) run = {};
  close(report[0]);
  int status = 0;
  if (helper > 0) waitpid(helper, &status, 0);
  return run;
}

ScratchFolder::ScratchFolder(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  path = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

}  // namespace bench_support
