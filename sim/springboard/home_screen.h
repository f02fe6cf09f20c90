// The host inside one home-screen process: its classes with stock behaviour, the tweak loaded
// into it, and the scenario lines a user or the system does there. Tests may drive it directly
// in a fresh process.
#pragma once

#include <objc/msg_send.h>

#include <string>
#include <vector>

#include "device_lines.h"
#include "host_classes.h"
#include "scenario.h"

namespace springboard {

// Every press or host call a line makes takes kStepMs on the simulated clock.
constexpr int64_t kStepMs = 200;

struct SessionOptions {
  std::string deviceRoot;  // host folder standing for the device's "/"
  std::string tweakDir;    // where Plinka3.so and its filter are
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
  // One scenario line, `launch` included: false, with `error`, when it could not be done (the
  // tweak could not be loaded, a settings file could not be written).
  bool runLine(const Command& command, std::string& error);
  // One scenario line other than `launch`, which it leaves alone.
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

}  // namespace springboard
