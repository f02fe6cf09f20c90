// plinka-sim settings --explore and --kill-points: the script run again and again, each run in a
// process of its own on a fresh copy of the device (the device root given, or the example
// device, is never changed).
#pragma once

#include <string>

#include "settings_options.h"

namespace settings_sim {

// Runs the script once for every order its held work can run in (depth first), or for
// `options.sample` random orders, and compares the device each order leaves with the device the
// script leaves in the order the user meant. 0 every order ends the same; 1 one differs; 2 a
// refused script, or more orders than `options.maxOrders`.
int exploreOrders(const Options& options, const std::string& scriptText);

// Counts the file effects of the script, then for each kills a run just before it and checks
// what is left on the device. 0 no violation; 1 a violation; 2 a bad script.
int killAtEachEffect(const Options& options, const std::string& scriptText);

}  // namespace settings_sim
