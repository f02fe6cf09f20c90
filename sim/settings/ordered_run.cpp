#include "ordered_run.h"

#include <Foundation/dispatch.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <sstream>

#include "device_state.h"
#include "settings_app.h"
#include "settings_session.h"

namespace settings_sim {
namespace {

// Runs what waits, one item at a time, until nothing waits. `explored`: each step is a choice
// of the schedule, reported; else the oldest runs.
class Runner {
 public:
  Runner(const Schedule& schedule, child_process::LineWriter& out, id fullList)
      : schedule_(schedule), out_(out), fullList_(fullList) {
    if (schedule.seed) random_.seed(*schedule.seed);
  }

  void runOut(bool explored) {
    while (failure_.empty()) {
      std::vector<dispatch::Waiting> ready;
      for (const dispatch::Waiting& work : dispatch::waiting()) {
        if (work.after == 0) ready.push_back(work);
      }
      if (ready.empty()) return;
      size_t index = 0;
      if (explored) {
        if (step_ < schedule_.choices.size()) {
          index = std::min(schedule_.choices[step_], ready.size() - 1);
        } else if (schedule_.seed) {
          index = static_cast<size_t>(random_() % ready.size());
        }
        ++step_;
        out_.line("choice " + std::to_string(index) + " " + std::to_string(ready.size()) + " " +
                  std::to_string(ready[index].number) + " " + ready[index].what);
      }
      if (std::string problem; !dispatch::runWaiting(ready[index].number, problem)) {
        failure_ = problem;  // the queues refused an item they said could run: stop, not loop
        return;
      }
      dispatch::runPendingWork();  // the work never held (a dismissal's completion)
      between();
    }
  }
  const std::string& failure() const { return failure_; }
  void between() {
    if (schedule_.betweenSteps) schedule_.betweenSteps(fullList_);
  }

 private:
  const Schedule& schedule_;
  child_process::LineWriter& out_;
  id fullList_;
  std::mt19937_64 random_;
  size_t step_ = 0;
  std::string failure_;
};

}  // namespace

void silenceStandardOutput() {
  std::fflush(stdout);
  int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (quiet >= 0) {
    dup2(quiet, STDOUT_FILENO);
    close(quiet);
  }
}

std::string refuseForOrders(const Script& script, bool exploring) {
  bool holds = false;
  for (const Command& command : script.commands) {
    if (std::holds_alternative<Hold>(command.action)) holds = true;
    const auto* run = std::get_if<RunHeld>(&command.action);
    if (exploring && run != nullptr && run->number) {
      return "line " + std::to_string(command.line) +
             ": --explore runs the held work in every order itself; run N fixes one (use run "
             "all, release, or leave the work waiting at the end)";
    }
  }
  if (!holds) {
    return "the script holds nothing: --explore runs held work in every order, and without a "
           "hold line no work is held";
  }
  return "";
}

int runOrdered(const Options& options, const std::string& scriptText, const Schedule& schedule,
               child_process::LineWriter& out,
               const std::function<void(child_process::LineWriter& out)>& extra) {
  silenceStandardOutput();  // what the command would print is no part of a run's outcome
  ns::AutoreleasePool pool;
  SettingsApp app;
  if (int status = app.open(options); status != 0) return status;
  Script script = parseScript(scriptText, app.fullList());
  if (!script.problems.empty()) {
    reportProblems(options.script, script.problems);
    return 2;
  }
  if (std::string refused = schedule.explore ? refuseForOrders(script, true) : "";
      !refused.empty()) {
    std::fprintf(stderr, "plinka-sim settings: %s\n", refused.c_str());
    return 2;
  }
  app.show();
  std::string stopped;
  SessionSetup setup{options.script, false, app.title(), options.machine, options.appearance};
  setup.problems = [&stopped](const std::string& message) {
    if (stopped.empty()) stopped = message;
  };
  int status = 0;
  {
    Session session(std::move(setup), app.controller(), app.fullList());
    Runner runner(schedule, out, app.fullList());
    dispatch::hold(true);  // every piece of later work waits for the runner
    status = session.open();
    runner.between();
    bool holding = false;
    for (const Command& command : script.commands) {
      if (status != 0) break;
      const Action& action = command.action;
      if (std::holds_alternative<Hold>(action)) {
        holding = schedule.asHeld;
      } else if (std::holds_alternative<Release>(action)) {
        runner.runOut(schedule.asHeld);
        holding = false;
      } else if (const auto* run = std::get_if<RunHeld>(&action)) {
        if (!schedule.asHeld) continue;
        if (!run->number) {
          runner.runOut(true);
        } else if (std::string problem; !dispatch::runWaiting(*run->number, problem)) {
          stopped = options.script + ":" + std::to_string(command.line) + ": " + problem;
          status = 1;
        } else {
          dispatch::runPendingWork();
          runner.between();
        }
      } else if (!std::holds_alternative<Pending>(action)) {
        status = session.run(command);
        runner.between();
        if (!holding) runner.runOut(false);
      }
    }
    // The user is done; the platform's work is not.
    if (session.running()) runner.runOut(schedule.asHeld);
    if (stopped.empty() && !runner.failure().empty()) stopped = runner.failure();
    if (!stopped.empty()) out.line("stopped " + stopped);
    for (const auto& [key, value] : deviceState(app.controller())) {
      out.line("state " + key + "\t" + value);
    }
    if (extra) extra(out);
  }
  dispatch::hold(false);
  return 0;
}

void readRunLine(const std::string& line, OrderedRun& into) {
  if (line.starts_with("choice ")) {
    std::istringstream in(line.substr(7));
    Choice choice;
    in >> choice.index >> choice.of >> choice.number;
    std::getline(in >> std::ws, choice.what);
    into.choices.push_back(choice);
  } else if (line.starts_with("stopped ")) {
    into.stopped = line.substr(8);
  } else if (line.starts_with("state ")) {
    size_t tab = line.find('\t');
    into.state.emplace_back(line.substr(6, tab - 6),
                            tab == std::string::npos ? "" : line.substr(tab + 1));
  } else {
    into.other.push_back(line);
  }
}

}  // namespace settings_sim
