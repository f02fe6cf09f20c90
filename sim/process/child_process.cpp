#include "child_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace child_process {
namespace {

constexpr size_t kBatch = 64 * 1024;
constexpr int kLeaked = 23;

void writeAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

}  // namespace

void LineWriter::line(const std::string& text) {
  pending_ += text;
  pending_ += '\n';
  if (pending_.size() >= kBatch) flush();
}

void LineWriter::flush() {
  writeAll(fd_, pending_);
  pending_.clear();
}

Outcome run(const std::function<int(LineWriter& out)>& body,
            const std::function<void(const std::string& line)>& onLine) {
  Outcome outcome;
  int channel[2];
  if (pipe(channel) != 0) {
    outcome.startError = std::string("pipe: ") + std::strerror(errno);
    return outcome;
  }
  std::fflush(nullptr);
  pid_t child = fork();
  if (child < 0) {
    outcome.startError = std::string("fork: ") + std::strerror(errno);
    close(channel[0]);
    close(channel[1]);
    return outcome;
  }
  if (child == 0) {
    close(channel[0]);
    int status = 0;
    {
      LineWriter out(channel[1]);
      status = body(out);
      out.flush();
    }
    close(channel[1]);
#if defined(__SANITIZE_ADDRESS__)
    if (status == 0 && __lsan_do_recoverable_leak_check() != 0) status = kLeaked;
#endif
    std::fflush(nullptr);
    _exit(status);
  }
  close(channel[1]);
  std::string pending;
  char buffer[65536];
  for (;;) {
    ssize_t n = read(channel[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    pending.append(buffer, static_cast<size_t>(n));
    size_t start = 0;
    for (size_t newline; (newline = pending.find('\n', start)) != std::string::npos;) {
      onLine(pending.substr(start, newline - start));
      start = newline + 1;
    }
    pending.erase(0, start);
  }
  close(channel[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) {
    outcome.exited = true;
    outcome.exitStatus = WEXITSTATUS(status);
    outcome.leaked = outcome.exitStatus == kLeaked;
  } else if (WIFSIGNALED(status)) {
    outcome.signal = WTERMSIG(status);
  }
  return outcome;
}

std::string describe(const Outcome& outcome) {
  if (!outcome.started()) return "could not start: " + outcome.startError;
  if (!outcome.exited) return std::string("crashed (") + strsignal(outcome.signal) + ")";
  if (outcome.leaked) return "leaked memory";
  if (outcome.exitStatus != 0) return "exited with " + std::to_string(outcome.exitStatus);
  return "";
}

}  // namespace child_process
