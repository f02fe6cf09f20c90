#include "fresh_process.h"

#include <Foundation/Foundation.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <sstream>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace testing_support {
namespace {

constexpr int kLeaked = 23;

void writeAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

std::string readAll(int fd) {
  std::string data;
  char buffer[65536];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    data.append(buffer, static_cast<size_t>(n));
  }
  return data;
}

}  // namespace

std::vector<journal::Entry> ChildRun::ofKind(const std::string& kind) const {
  return ofKinds({kind});
}

std::vector<journal::Entry> ChildRun::ofKinds(const std::vector<std::string>& kinds) const {
  std::vector<journal::Entry> found;
  for (const journal::Entry& entry : journal) {
    for (const std::string& kind : kinds) {
      if (entry["kind"] == kind) found.push_back(entry);
    }
  }
  return found;
}

ChildRun inFreshProcess(const std::function<void()>& body) {
  ChildRun run;
  int channel[2];
  if (pipe(channel) != 0) {
    run.failure = std::string("pipe: ") + std::strerror(errno);
    return run;
  }
  std::fflush(nullptr);
  pid_t child = fork();
  if (child < 0) {
    run.failure = std::string("fork: ") + std::strerror(errno);
    return run;
  }
  if (child == 0) {
    close(channel[0]);
    journal::clear();
    {
      ns::AutoreleasePool pool;
      body();
    }
    std::string out;
    for (const journal::Entry& entry : journal::entries()) out += entry.dump() + "\n";
    writeAll(channel[1], out);
    close(channel[1]);
    int status = 0;
#if defined(__SANITIZE_ADDRESS__)
    journal::clear();
    if (__lsan_do_recoverable_leak_check() != 0) status = kLeaked;
#endif
    std::fflush(nullptr);
    _exit(status);
  }
  close(channel[1]);
  std::string out = readAll(channel[0]);
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) run.journal.push_back(journal::Entry::parse(line));
  }
  if (WIFEXITED(status)) {
    run.exitStatus = WEXITSTATUS(status);
    if (run.exitStatus == kLeaked)
      run.failure = "the child process leaked memory";
    else if (run.exitStatus != 0)
      run.failure = "the child exited with " + std::to_string(run.exitStatus);
  } else if (WIFSIGNALED(status)) {
    run.failure = std::string("the child died of ") + strsignal(WTERMSIG(status));
  }
  return run;
}

std::string withoutTime(const journal::Entry& entry) {
  journal::Entry copy = entry;
  copy.erase("t");
  return copy.dump();
}

std::vector<std::string> lines(const std::vector<journal::Entry>& entries) {
  std::vector<std::string> out;
  for (const journal::Entry& entry : entries) out.push_back(withoutTime(entry));
  return out;
}

}  // namespace testing_support
