// One run of a settings script with its platform work in a chosen order, in a process of its
// own (a forked child that reports back in lines): what --explore and --kill-points run again
// and again on fresh copies of the device.
//
// All the platform's later work waits; the run decides when it runs, one item at a time. The
// work of a line outside a hold runs out, oldest first, after its line. Held work waits as the
// script says, and runs where the script runs it all (`run all`, `release`) and at the end of
// the script (the process lives on after the user's last action): there the run takes, at each
// step, one of the items that can run (an older item of the same main or serial queue must run
// first), as the schedule chooses.
#pragma once

#include <Foundation/Foundation.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "script.h"
#include "settings_options.h"

namespace settings_sim {

struct Schedule {
  // False: the order the user meant, each line's work run out before the next line (the holds
  // and the lines that run held work do nothing).
  bool asHeld = true;
  // At each step where held work runs: the index among the items that can run, oldest first;
  // beyond these, the first (the oldest), or with `seed` one chosen at random.
  std::vector<size_t> choices;
  std::optional<uint64_t> seed;
  // Refuse, as refuseForOrders() does for --explore, before anything runs.
  bool explore = false;
  // Called before the script, after each line's own work and after each item of work (the
  // places between which one step of the script happens), with the pane's full row list.
  std::function<void(id fullList)> betweenSteps;
};

// A step where held work ran: which item of how many that could run.
struct Choice {
  size_t index = 0, of = 0;
  uint64_t number = 0;  // the item's number, as `pending` shows it
  std::string what;     // "export of IMG_0004.MOV"
};

// Which lines a schedule of held work can run: refuses `run N` (the numbers of work made while
// held work runs depend on the order it runs in) when `exploring`, and a script that holds
// nothing. An empty answer when the script can be run so.
std::string refuseForOrders(const Script& script, bool exploring);

// In the child: opens the pane as `options` say (on the device root they name), checks and runs
// `scriptText` by `schedule`, and writes to `out`:
//   choice INDEX OF NUMBER WHAT       each step where held work ran
//   stopped MESSAGE                   the script stopped at a line (as the command would, exit 1)
//   state KEY<TAB>VALUE               the device's state after the script (deviceState())
// Standard output is not written; a bad script line or a refused script is reported on standard
// error as the command reports it and answers 2. `extra` may write more lines at the end.
int runOrdered(const Options& options, const std::string& scriptText, const Schedule& schedule,
               child_process::LineWriter& out,
               const std::function<void(child_process::LineWriter& out)>& extra = {});

// In a child: standard output goes nowhere from here on.
void silenceStandardOutput();

// What a child wrote, read back by the parent.
struct OrderedRun {
  std::vector<Choice> choices;
  std::vector<std::pair<std::string, std::string>> state;  // sorted by key
  std::string stopped;
  std::vector<std::string> other;  // lines of `extra`
};
void readRunLine(const std::string& line, OrderedRun& into);

}  // namespace settings_sim
