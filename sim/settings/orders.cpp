#include "orders.h"

#include <device/files.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <sstream>

#include "child_process.h"
#include "device_state.h"
#include "example_device.h"
#include "help.h"
#include "ordered_run.h"
#include "settings_app.h"

namespace settings_sim {
namespace {

namespace fs = std::filesystem;

constexpr const char* kName = "settings";

using State = std::vector<std::pair<std::string, std::string>>;

// Runs `body` in a child on a fresh copy of `source`; the child's lines go to `onLine`. False,
// with `problem`, when the copy cannot be made or the child cannot start.
bool runOnCopy(const fs::path& source, Options options,
               const std::function<int(const Options&, child_process::LineWriter&)>& body,
               const std::function<void(const std::string&)>& onLine,
               child_process::Outcome& outcome, std::string& problem,
               const std::function<void(const fs::path& copy)>& after = {}) {
  sim::TemporaryDevice copy;
  if (!copy.make(source, problem)) return false;
  options.deviceRoot = copy.path().string();
  outcome = child_process::run([&](child_process::LineWriter& out) { return body(options, out); },
                               onLine);
  if (!outcome.started()) {
    problem = child_process::describe(outcome);
    return false;
  }
  if (after) after(copy.path());
  return true;
}

// One ordered run on a fresh copy; answers the child's exit status (2 for a refused script, -1
// with `problem` for a child that could not run or crashed).
int orderedRun(const fs::path& source, const Options& options, const std::string& scriptText,
               const Schedule& schedule, OrderedRun& run, std::string& problem) {
  child_process::Outcome outcome;
  if (!runOnCopy(
          source, options,
          [&](const Options& on, child_process::LineWriter& out) {
            return runOrdered(on, scriptText, schedule, out);
          },
          [&](const std::string& line) { readRunLine(line, run); }, outcome, problem)) {
    return -1;
  }
  if (!outcome.exited || outcome.leaked) {
    problem = "a run of the script " + child_process::describe(outcome);
    return -1;
  }
  if (!run.stopped.empty()) run.state.insert(run.state.begin(), {"(the script)", run.stopped});
  return outcome.exitStatus;
}

std::string orderText(const std::vector<Choice>& choices) {
  std::string text;
  for (const Choice& choice : choices) {
    text += (text.empty() ? "" : ", ") + std::to_string(choice.number) + " " + choice.what;
  }
  return text;
}

// The lines by which `state` differs from `meant`, the user's order's.
std::vector<std::string> differences(const State& meant, const State& state) {
  std::map<std::string, std::string> a(meant.begin(), meant.end()), b(state.begin(), state.end());
  std::set<std::string> keys;
  for (const auto& [key, value] : a) keys.insert(key);
  for (const auto& [key, value] : b) keys.insert(key);
  std::vector<std::string> lines;
  for (const std::string& key : keys) {
    auto was = a.find(key), is = b.find(key);
    std::string before = was == a.end() ? "nothing" : was->second;
    std::string after = is == b.end() ? "nothing" : is->second;
    if (before != after) {
      lines.push_back(key + ": " + before + " in the user's order; " + after + " here");
    }
  }
  return lines;
}

// Random order number `i` draws from a generator of its own, started from --seed and `i`, so
// that a run with the same --seed draws the same orders.
uint64_t seedOf(uint64_t seed, uint64_t i) {
  uint64_t z = seed + 0x9e3779b97f4a7c15ULL * (i + 1);  // splitmix64
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

fs::path sourceDevice(const Options& options) {
  return options.deviceRoot.empty() ? sim::exampleDevice() : fs::path(options.deviceRoot);
}

}  // namespace

int exploreOrders(const Options& options, const std::string& scriptText) {
  fs::path source = sourceDevice(options);
  std::string problem;
  OrderedRun meant;
  Schedule asMeant;
  asMeant.asHeld = false;
  asMeant.explore = true;
  int status = orderedRun(source, options, scriptText, asMeant, meant, problem);
  if (status < 0) return sim::runtimeError(kName, problem);
  if (status != 0) return status;

  std::map<State, uint64_t> ends;  // each end state reached, with how many orders reached it
  uint64_t orders = 0, differing = 0;
  std::vector<size_t> prefix;
  for (;;) {
    if (options.sample > 0 ? orders == options.sample : orders == options.maxOrders) break;
    Schedule schedule;
    if (options.sample > 0) {
      schedule.seed = seedOf(options.seed, orders);
    } else {
      schedule.choices = prefix;
    }
    OrderedRun run;
    status = orderedRun(source, options, scriptText, schedule, run, problem);
    if (status != 0) {
      return status < 0 ? sim::runtimeError(kName, problem)
                        : sim::runtimeError(
                              kName, "a run of the script exited with " + std::to_string(status));
    }
    ++orders;
    if (orders == 1 && run.choices.empty()) {
      return sim::runtimeError(kName,
                               "the script holds nothing: no work waited after its hold, so "
                               "there is no order to explore",
                               2);
    }
    ++ends[run.state];
    if (std::vector<std::string> lines = differences(meant.state, run.state); !lines.empty()) {
      ++differing;
      std::printf("order %llu ends differently: %s\n", static_cast<unsigned long long>(orders),
                  orderText(run.choices).c_str());
      for (const std::string& line : lines) std::printf("  %s\n", line.c_str());
    }
    if (options.sample > 0) continue;
    // Depth first: the last step that has another item to take takes the next one.
    size_t step = run.choices.size();
    while (step > 0 && run.choices[step - 1].index + 1 >= run.choices[step - 1].of) --step;
    if (step == 0) break;
    prefix.clear();
    for (size_t i = 0; i + 1 < step; ++i) prefix.push_back(run.choices[i].index);
    prefix.push_back(run.choices[step - 1].index + 1);
    if (orders == options.maxOrders) {
      std::printf("%llu orders run, %zu end state%s so far\n",
                  static_cast<unsigned long long>(orders), ends.size(),
                  ends.size() == 1 ? "" : "s");
      std::fflush(stdout);
      return sim::runtimeError(
          kName,
          "stopped after " + std::to_string(orders) +
              " orders (--max-orders): more remain; --max-orders N raises the cap, --sample N "
              "--seed S runs N random orders",
          2);
    }
  }
  std::string what = std::string(orders == 1 ? " order" : " orders") + " run";
  if (options.sample > 0) what = " random" + what + " (seed " + std::to_string(options.seed) + ")";
  bool meantReached = ends.count(meant.state) > 0;
  std::printf("%llu%s, %zu end state%s: ", static_cast<unsigned long long>(orders), what.c_str(),
              ends.size(), ends.size() == 1 ? "" : "s");
  if (differing == 0) {
    std::printf("every order ends as the user's order does\n");
  } else {
    std::printf("%llu order%s end%s differently from the user's order%s\n",
                static_cast<unsigned long long>(differing), differing == 1 ? "" : "s",
                differing == 1 ? "s" : "", meantReached ? "" : " (none ends as it does)");
  }
  return differing == 0 ? 0 : 1;
}

// --- --kill-points ------------------------------------------------------------------------

namespace {

// One file effect of the counted run, as its device path and kind.
struct Effect {
  std::string kind, path;
};

// The choices of the picker rows at a place between steps: after `effects` effects.
struct Boundary {
  uint64_t effects = 0;
  std::map<std::string, std::string> choices;  // by row
};

struct Counted {
  std::vector<Effect> effects;
  std::vector<Boundary> boundaries;
  std::set<std::string> files;  // the device's files after the whole run
};

// In a child: the effects, counted from the start of the run.
struct EffectLog {
  std::mutex lock;
  uint64_t base = device::files::effects();
  std::vector<Effect> effects;
};

std::string choicesLine(uint64_t effects, id fullList) {
  std::string line = "boundary " + std::to_string(effects);
  for (const PickerRow& row : pickerRows(fullList)) {
    line += "\t" + row.name + "\t" + rowChoice(row);
  }
  return line;
}

std::vector<std::string> split(const std::string& text, char by) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, by)) parts.push_back(part);
  return parts;
}

// What a check child found on a killed run's device.
struct Found {
  std::vector<std::string> unreadable;
  std::map<std::string, std::pair<std::string, bool>> choices;  // row: choice, whole
  std::set<std::string> files;
};

// In a child, on a killed run's device: every settings store reads back, each picker row's
// choice, the files.
int checkDevice(const Options& options, child_process::LineWriter& out) {
  silenceStandardOutput();
  ns::AutoreleasePool pool;
  SettingsApp app;
  if (int status = app.open(options); status != 0) return status;
  std::map<std::string, std::string> state = deviceState(nil);
  for (const auto& [path, value] : state) {
    if (value.starts_with("unreadable settings store")) out.line("unreadable " + path);
  }
  for (const PickerRow& row : pickerRows(app.fullList())) {
    bool whole = true;
    std::string choice = rowChoice(row, &whole);
    out.line("choice " + row.name + "\t" + choice + "\t" + (whole ? "whole" : "torn"));
  }
  for (const std::string& file : deviceFiles()) out.line("file " + file);
  return 0;
}

}  // namespace

int killAtEachEffect(const Options& options, const std::string& scriptText) {
  fs::path source = sourceDevice(options);
  std::set<std::string> before;
  {
    std::error_code error;
    for (fs::recursive_directory_iterator it(source, error), end; !error && it != end;
         it.increment(error)) {
      before.insert("/" + fs::relative(it->path(), source).generic_string());
    }
  }

  // The run counted: every effect, and the rows' choices between steps.
  Counted counted;
  std::string problem;
  child_process::Outcome outcome;
  bool ran = runOnCopy(
      source, options,
      [&](const Options& on, child_process::LineWriter& out) {
        auto log = std::make_shared<EffectLog>();
        device::files::watchEffects([log](uint64_t, const char* kind, const std::string& path) {
          std::lock_guard guard(log->lock);
          log->effects.push_back({kind, onDevice(path)});
        });
        Schedule schedule;
        schedule.betweenSteps = [log, &out](id fullList) {
          out.line(choicesLine(device::files::effects() - log->base, fullList));
        };
        return runOrdered(on, scriptText, schedule, out, [log](child_process::LineWriter& out) {
          device::files::watchEffects({});
          for (const Effect& effect : log->effects) {
            out.line("effect " + effect.kind + " " + effect.path);
          }
          for (const std::string& file : deviceFiles()) out.line("file " + file);
        });
      },
      [&](const std::string& line) {
        if (line.starts_with("effect ")) {
          size_t space = line.find(' ', 7);
          counted.effects.push_back({line.substr(7, space - 7), line.substr(space + 1)});
        } else if (line.starts_with("boundary ")) {
          std::vector<std::string> parts = split(line.substr(9), '\t');
          Boundary boundary;
          boundary.effects = std::stoull(parts.at(0));
          for (size_t i = 1; i + 1 < parts.size(); i += 2)
            boundary.choices[parts[i]] = parts[i + 1];
          counted.boundaries.push_back(std::move(boundary));
        } else if (line.starts_with("file ")) {
          counted.files.insert(line.substr(5));
        }
      },
      outcome, problem);
  if (!ran) return sim::runtimeError(kName, problem);
  if (!outcome.exited || outcome.leaked) {
    return sim::runtimeError(kName, "the counted run " + child_process::describe(outcome));
  }
  if (outcome.exitStatus != 0) return outcome.exitStatus;
  if (counted.boundaries.empty()) return sim::runtimeError(kName, "the counted run said nothing");

  size_t total = counted.effects.size();
  std::printf("%zu file effects; the run killed before each in turn:\n", total);
  size_t violations = 0, warned = 0;
  for (size_t k = 1; k <= total; ++k) {
    const Effect& effect = counted.effects[k - 1];
    std::string where =
        "effect " + std::to_string(k) + " (" + effect.kind + " " + effect.path + ")";
    std::string unexpected;
    Found found;
    child_process::Outcome killed, checked;
    auto killedRun = [&](const Options& on, child_process::LineWriter& out) {
      uint64_t base = device::files::effects();
      device::files::watchEffects(
          [&out, base, k, &effect](uint64_t number, const char* kind, const std::string& path) {
            if (number - base != k) return;
            if (kind != effect.kind || onDevice(path) != effect.path) {
              out.line("unexpected " + std::string(kind) + " " + onDevice(path));
              out.flush();
            }
            ::kill(getpid(), SIGKILL);  // no handler, no clean-up: as the process dies on a device
          });
      Schedule schedule;
      return runOrdered(on, scriptText, schedule, out);
    };
    auto check = [&](const fs::path& copy) {
      Options on = options;
      on.deviceRoot = copy.string();
      checked =
          child_process::run([&](child_process::LineWriter& out) { return checkDevice(on, out); },
                             [&](const std::string& line) {
                               if (line.starts_with("unreadable ")) {
                                 found.unreadable.push_back(line.substr(11));
                               } else if (line.starts_with("choice ")) {
                                 std::vector<std::string> parts = split(line.substr(7), '\t');
                                 if (parts.size() == 3)
                                   found.choices[parts[0]] = {parts[1], parts[2] == "whole"};
                               } else if (line.starts_with("file ")) {
                                 found.files.insert(line.substr(5));
                               }
                             });
    };
    if (!runOnCopy(
            source, options, killedRun,
            [&](const std::string& line) {
              if (line.starts_with("unexpected ")) unexpected = line.substr(11);
            },
            killed, problem, check)) {
      return sim::runtimeError(kName, problem);
    }
    std::vector<std::string> bad, warnings;
    if (killed.exited) {
      bad.push_back(
          "the run ended without reaching it: the script's effects are not the same "
          "on every run");
    } else if (killed.signal != SIGKILL) {
      bad.push_back("the run " + child_process::describe(killed) + " before it");
    }
    if (!unexpected.empty()) {
      bad.push_back("the run reached " + unexpected +
                    " there instead: the effects are not the "
                    "same on every run");
    }
    if (!checked.exited || checked.exitStatus != 0) {
      bad.push_back("the device could not be checked: the check " +
                    child_process::describe(checked));
    }
    for (const std::string& path : found.unreadable) bad.push_back(path + " does not read back");
    // The step under way: between the last place before effect k and the next.
    const Boundary* last = &counted.boundaries.front();
    const Boundary* next = last;
    for (const Boundary& boundary : counted.boundaries) {
      if (boundary.effects < k) {
        last = &boundary;
        next = &boundary;
      } else {
        next = &boundary;
        break;
      }
    }
    for (const auto& [row, held] : found.choices) {
      const auto& [choice, whole] = held;
      std::string had = last->choices.count(row) ? last->choices.at(row) : "nothing";
      std::string made = next->choices.count(row) ? next->choices.at(row) : "nothing";
      if (!whole) {
        bad.push_back("row '" + row + "' holds a " + choice);
      } else if (choice != had && choice != made) {
        bad.push_back("row '" + row + "' holds " + choice +
                      ": neither the choice before the step (" + had + ") nor the one it made (" +
                      made + ")");
      }
    }
    for (const std::string& file : found.files) {
      if (before.count(file) == 0 && counted.files.count(file) == 0) {
        warnings.push_back("left over: " + file);
      }
    }
    for (const std::string& line : bad)
      std::printf("%s: violation: %s\n", where.c_str(), line.c_str());
    for (const std::string& line : warnings)
      std::printf("%s: warning: %s\n", where.c_str(), line.c_str());
    if (!bad.empty()) ++violations;
    if (!warnings.empty()) ++warned;
  }
  std::printf(
      "%zu kill point%s: %s, %zu with leftovers\n", total, total == 1 ? "" : "s",
      violations == 0 ? "no violation" : (std::to_string(violations) + " with violations").c_str(),
      warned);
  return violations == 0 ? 0 : 1;
}

}  // namespace settings_sim
