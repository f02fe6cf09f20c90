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

#include <set>
#include <string>
#include <vector>

#include "host_classes.h"
#include "scenario.h"

namespace springboard {

constexpr int64_t kStepMs = 200;

struct SessionOptions {
  std::string deviceRoot;  // host folder standing for the device's "/"
  std::string tweakDir;    // where Plinka3.so and its filter are
};

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

// The state of the device between processes.
struct DeviceState {
  bool onAC = false;
  long battery = 1;  // unplugged
  bool locked = false;
  bool initAnswersAnother = false;  // fault injection: see HostState
  bool ringerOn = true;
  int64_t clockMs = 0;
  std::set<std::string> leftOut;  // classes to leave out at the next launch
  int launches = 0;
};

// The host inside one home-screen process. Tests may drive it directly in a fresh process.
class HomeScreen {
 public:
  // Sets the process up on the device: its root, clock, charger, battery and lock state.
  HomeScreen(const SessionOptions& options, DeviceState& device);
  // Writes what the process changed on the device back into the device state.
  void saveDeviceState();
  // Sets the process's view of the device from the device state.
  void loadDeviceState();

  // Builds the host classes (but those left out), loads the tweak, creates the controller and
  // tells the application it has finished launching. False, with `error`, if the tweak could not
  // be loaded.
  bool launch(std::string& error);
  // One scenario line, other than `launch`; false, with `error`, when it could not be done
  // (a settings file that cannot be written).
  bool run(const Command& command, std::string& error);
  // The host sends `method` to its instance of `className` (to the class for a class method).
  void call(const std::string& className, const HostMethod& method,
            const std::vector<CallArgument>& args);
  // The host's instance of a class, made on first use; nil when the class is missing.
  id instanceOf(const std::string& className);

 private:
  void step();
  void userAction(const char* action, journal::Entry details = journal::Entry::object());
  void callByName(const std::string& className, const char* selector,
                  const std::vector<CallArgument>& args = {});
  id argumentObject(const char* className);

  SessionOptions options_;
  DeviceState& device_;
};

// Writes a setting into the product's plist under the device root; false, with `failure` when
// given, when it cannot be written. An unreadable file is kept aside, never overwritten, and
// named on standard error; the journal records both ("kept-aside", "store-failed").
bool writePreference(const std::string& key, const PrefValue& value,
                     std::string* failure = nullptr);

}  // namespace springboard
