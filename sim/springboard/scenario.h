// The scenario language of `plinka-sim springboard`: one command per line.
//
//   pref KEY VALUE          write a setting (true, false, an integer, "a string", none)
//   without CLASS           leave a class out of the host at the next launch
//   register CLASS          register a class that was left out, in the running process
//   launch                  start (or restart) the home-screen process
//   set ac on|off  |  set battery 0|1|2|3  |  set locked on|off
//   set ringer on|off       the ring/silent switch (on: ringing; off: system sounds are silent)
//   post battery            post UIDeviceBatteryStateDidChangeNotification
//   call CLASS SELECTOR [ARG...]   the host sends a message (yes/no for a BOOL, X Y for a point)
//   plug | unplug | lock | unlock
//   type TEXT | delete N | passcode DIGITS | volume up|down [N]
//   wait SECONDS
//   note TEXT               a line of the scenario's own in the timeline
//
// Fault injection, for tests of the product (no real device answers these):
//   fault battery INTEGER   batteryState answers any 64-bit integer
//   fault init another|self SBUIController's init answers another object than its receiver
//   fault disk full|rename fails|remove fails|disk ok   the device's file layer fails writes
//                           (no space left on device), renames or removals under the device
//                           root from here on; disk ok clears them all
//
// A `#` that begins a word starts a comment; blank lines are ignored. The whole scenario is
// parsed, and checked, before anything runs.
#pragma once

#include <objc/msg_send.h>

#include <cstdint>
#include <istream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "help.h"
#include "host_classes.h"

namespace springboard {

enum class Op {
  Pref,
  Without,
  Register,
  Launch,
  Set,
  Post,
  Call,
  Plug,
  Unplug,
  Lock,
  Unlock,
  Type,
  Delete,
  Passcode,
  Volume,
  Wait,
  Note,
};

struct PrefValue {
  enum class Kind { Boolean, Integer, String, Remove } kind = Kind::Remove;
  bool boolean = false;
  int64_t integer = 0;
  std::string string;
};

struct CallArgument {
  enum class Kind { Boolean, Point } kind = Kind::Boolean;
  bool boolean = false;
  CGPoint point{};
};

struct Command {
  Op op;
  int line = 0;
  std::string name;                    // pref key, class, what `set` changes, text to type, digits
  std::string label;                   // fault disk: the fault as written ("disk full")
  std::string selector;                // call
  PrefValue value;                     // pref
  const HostMethod* method = nullptr;  // call
  std::vector<CallArgument> args;      // call
  int64_t number = 0;                  // set value (0/1 for on/off), press count
  bool up = true;                      // volume
  double seconds = 0;                  // wait
};

struct Scenario {
  std::string name;  // the file name as given, for messages
  std::vector<Command> commands;
};

// Every scenario line, documented.
const std::vector<sim::LineHelp>& scenarioLines();

// Checks scenario lines one at a time, in order: what a line may do depends on the lines
// before it (a press needs a launched process; `register` a class left out of it).
class ScenarioParser {
 public:
  // What the parser knows of the process a line would run in.
  struct State {
    bool running = false;
    std::set<std::string> leftOutNow;   // left out of the running process, not registered since
    std::set<std::string> leftOutNext;  // to be left out at the next launch
    unsigned diskFaults = 0;            // sim::DiskFaults in force after the line
  };

  explicit ScenarioParser(std::string name) : name_(std::move(name)) {}
  // Goes on from where another parser was (a session that runs each process apart).
  ScenarioParser(std::string name, State state)
      : name_(std::move(name)), state_(std::move(state)) {}
  const State& state() const { return state_; }
  // Checks the line numbered `number`: appends its command to `into` (nothing for a blank
  // line or a comment); false, with `problem` set to "NAME:LINE: message", for a bad line. A
  // whole scenario and a single line typed at a time go through this same check.
  bool parseLine(const std::string& text, int number, std::vector<Command>& into,
                 std::string& problem);

 private:
  std::string name_;
  State state_;
};

// Parses a whole scenario. With bad lines answers nothing and sets `error` to one
// "NAME:LINE: message" line for each, in order.
std::optional<Scenario> parseScenario(std::istream& in, const std::string& name,
                                      std::string& error);

}  // namespace springboard
