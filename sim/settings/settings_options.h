// The command line of `plinka-sim settings`: its options, read and checked before anything runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pane_layout.h"

namespace settings_sim {

struct Options {
  std::string deviceRoot;  // empty: a temporary copy of the example device
  std::string systemVersion;
  std::string machine = "iPhone13,4";  // the simulated device's model: its screen
  bool json = false;
  Appearance appearance = Appearance::Light;  // what pictures are drawn in
  std::string png;                            // empty: no picture
  std::string rows;                           // empty: the pane installed on the device
  std::string pane;                           // which installed pane, by label or entry file name
  std::string script;                         // a file, or "-" for standard input
  // --explore: the script in every order of its held work; --kill-points: killed at each file
  // effect (see orders.h).
  bool explore = false;
  bool killPoints = false;
  uint64_t maxOrders = 5000;  // --explore stops past this many orders
  uint64_t sample = 0;        // --sample N: N random orders instead of all
  uint64_t seed = 1;          // --seed S: the random orders' seed
};

// Reads the arguments; false, with `problem`, for a missing, unknown or bad one. Every output
// file is checked too (`outputProblem`, set apart: it is not an argument error).
bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& problem,
                  std::string& outputProblem);

// The script's text; false when it cannot be read (or is a folder).
bool readScript(const std::string& name, std::string& text);

}  // namespace settings_sim
