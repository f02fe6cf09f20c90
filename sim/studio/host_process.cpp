#include "host_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "child_process.h"

extern char** environ;

namespace studio {
namespace {

bool writeAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

HostProcess::HostProcess(std::string program, std::vector<std::string> arguments)
    : program_(std::move(program)), arguments_(std::move(arguments)) {}

HostProcess::~HostProcess() {
  stop();
}

std::optional<Json> HostProcess::start(const EntrySink& sink, std::string& why) {
  int in[2];
  int out[2];
  if (pipe2(in, O_CLOEXEC) != 0) {
    why = std::string("cannot start a host: ") + std::strerror(errno);
    return std::nullopt;
  }
  if (pipe2(out, O_CLOEXEC) != 0) {
    why = std::string("cannot start a host: ") + std::strerror(errno);
    close(in[0]);
    close(in[1]);
    return std::nullopt;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, 2, 1);
  posix_spawn_file_actions_adddup2(&actions, out[1], 3);
  // The studio blocks its stop signals in every thread; a host starts with none blocked and
  // every signal at its default.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  // Its own process group: an interrupt typed at the terminal reaches the studio, which ends
  // its hosts itself.
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program_.c_str()));
  for (std::string& argument : arguments_) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t child = -1;
  int failed = posix_spawn(&child, program_.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(in[0]);
  close(out[1]);
  if (failed != 0) {
    close(in[1]);
    close(out[0]);
    why = "cannot start " + program_ + ": " + std::strerror(failed);
    return std::nullopt;
  }
  pid_ = child;
  input_ = in[1];
  answers_ = out[0];
  pending_.clear();
  return readAnswer(sink, why);
}

std::optional<Json> HostProcess::request(const Json& message, const EntrySink& sink,
                                         std::string& why) {
  if (pid_ <= 0) {
    why = "the host is not running";
    return std::nullopt;
  }
  // A host that has gone makes the write fail (EPIPE; the studio ignores SIGPIPE); the answer
  // then says how it ended.
  writeAll(input_, message.dump() + "\n");
  return readAnswer(sink, why);
}

std::optional<Json> HostProcess::readAnswer(const EntrySink& sink, std::string& why) {
  char buffer[65536];
  for (;;) {
    size_t newline = pending_.find('\n');
    while (newline != std::string::npos) {
      std::string line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      if (!line.empty()) {
        Json parsed = Json::parse(line.begin() + 1, line.end(), nullptr, false);
        if (!parsed.is_discarded()) {
          if (line[0] == 'J') sink(parsed);
          if (line[0] == 'A') return parsed;
        }
      }
      newline = pending_.find('\n');
    }
    ssize_t n = read(answers_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    pending_.append(buffer, static_cast<size_t>(n));
  }
  why = reap();
  return std::nullopt;
}

std::string HostProcess::reap() {
  if (input_ >= 0) close(input_);
  if (answers_ >= 0) close(answers_);
  input_ = answers_ = -1;
  if (pid_ <= 0) return "the host is not running";
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  child_process::Outcome outcome;
  outcome.exited = WIFEXITED(status);
  outcome.exitStatus = WEXITSTATUS(status);
  outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  std::string how = child_process::describe(outcome);
  return how.empty() ? "ended" : how;
}

void HostProcess::stop() {
  if (pid_ <= 0) return;
  if (input_ >= 0) close(input_);
  input_ = -1;
  using namespace std::chrono;
  auto deadline = steady_clock::now() + seconds(2);
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(milliseconds(5));
  }
  pid_ = -1;
  if (answers_ >= 0) close(answers_);
  answers_ = -1;
}

}  // namespace studio
