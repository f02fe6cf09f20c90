// Running a scenario on the simulated device.
//
// Each `launch` starts a home-screen process: a forked child that builds the host classes, loads
// Plinka3.so, and runs the scenario's lines up to the next `launch` (a respring) or the end.
// Everything process-wide starts afresh in each; the device (files under the root, charger,
// battery, lock state, clock) carries over. Lines before the first launch run on the device
// itself. The children send their journals back; the session gathers them in order.
//
// Time: every press or host call a line makes takes kStepMs on the simulated clock (typing
// "abc" takes three steps); `wait` takes what it says; setting lines (pref, set, without,
// register) take none.
#pragma once

#include <device/journal.h>

#include <string>
#include <vector>

#include "device_lines.h"
#include "home_screen.h"
#include "scenario.h"

namespace springboard {

struct SessionResult {
  std::vector<journal::Entry> journal;  // empty when the journal went to a sink
  int exitStatus = 0;                   // 0 done; 1 a process could not start or ended abnormally
  std::string error;                    // why, when exitStatus is 1
};

// Runs the scenario; the journal goes to `sink` entry by entry as the session makes it, in
// order, and the session keeps none of it.
SessionResult runSession(const Scenario& scenario, const SessionOptions& options,
                         const journal::Sink& sink);
// The same, with the journal gathered in the result.
SessionResult runSession(const Scenario& scenario, const SessionOptions& options);

}  // namespace springboard
