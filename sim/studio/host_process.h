// A host of the studio (the Settings application, or a home-screen process) running in a
// process of its own: a fresh plinka-sim started with posix_spawn (so no thread of the server
// is copied into it), in its hidden line mode (`plinka-sim studio-host`, line_host.h).
//
// The channel: the studio writes one JSON object per line on the host's standard input; the
// host answers on descriptor 3, one line per message: "J" and a journal entry as the host makes
// it, then "A" and the answer object, which ends the request. The host's standard output and
// error go to the studio's standard error, so nothing a host prints mixes into the studio's own
// standard output.
#pragma once

#include <sys/types.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace studio {

using Json = nlohmann::ordered_json;

class HostProcess {
 public:
  // Called with each journal entry as it arrives, before the answer.
  using EntrySink = std::function<void(const Json&)>;

  HostProcess(std::string program, std::vector<std::string> arguments);
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  // Starts the process and reads its first answer (what it did on starting). Nothing, with
  // `why`, when it could not be started or ended before answering.
  std::optional<Json> start(const EntrySink& sink, std::string& why);
  // Sends one request and reads the answer. Nothing, with `why` ("... crashed (Segmentation
  // fault)"), when the process ended first; it is then gone (running() is false).
  std::optional<Json> request(const Json& message, const EntrySink& sink, std::string& why);
  // Closes its input and waits for it to end (killing it after two seconds).
  void stop();
  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

 private:
  std::optional<Json> readAnswer(const EntrySink& sink, std::string& why);
  std::string reap();

  std::string program_;
  std::vector<std::string> arguments_;
  pid_t pid_ = -1;
  int input_ = -1;    // the host's standard input
  int answers_ = -1;  // its descriptor 3
  std::string pending_;
};

}  // namespace studio
