#include "scenario.h"

#include "disk_faults.h"
#include "keyboard.h"
#include "tokens.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <set>

namespace springboard {
namespace {

using script::Token;

constexpr int64_t kMostPresses = 100000;
constexpr double kLongestWait = 600.0;

class ParseError {
 public:
  explicit ParseError(std::string message) : message(std::move(message)) {}
  std::string message;
};

bool parseInteger(const std::string& text, int64_t& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

bool parseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  // Underflow (a subnormal, or a number too small for one) is still that number.
  return end == text.c_str() + text.size() && std::isfinite(value) &&
         (errno == 0 || errno == ERANGE);
}

void expectCount(const std::vector<Token>& tokens, size_t count, const std::string& usage) {
  if (tokens.size() != count) throw ParseError("usage: " + usage);
}

int64_t pressCount(const Token& token) {
  int64_t n = 0;
  if (token.quoted || !parseInteger(token.text, n) || n < 1 || n > kMostPresses) {
    throw ParseError("expected a count from 1 to " + std::to_string(kMostPresses) + ", got '" +
                     token.text + "'");
  }
  return n;
}

bool onOff(const Token& token) {
  if (token.text == "on") return true;
  if (token.text == "off") return false;
  throw ParseError("expected on or off, got '" + token.text + "'");
}

PrefValue prefValue(const Token& token) {
  PrefValue value;
  if (token.quoted) {
    value.kind = PrefValue::Kind::String;
    value.string = token.text;
  } else if (token.text == "true" || token.text == "false") {
    value.kind = PrefValue::Kind::Boolean;
    value.boolean = token.text == "true";
  } else if (token.text == "none") {
    value.kind = PrefValue::Kind::Remove;
  } else if (parseInteger(token.text, value.integer)) {
    value.kind = PrefValue::Kind::Integer;
  } else {
    throw ParseError(
        "expected true, false, a 64-bit integer, a double-quoted string or none, got '" +
        token.text + "'");
  }
  return value;
}

std::vector<CallArgument> callArguments(const HostMethod& method, const std::vector<Token>& given) {
  std::vector<CallArgument> args;
  std::string call = std::string(method.className) + " " + method.selector;
  switch (method.signature) {
    case Signature::Bool: {
      if (given.size() != 1 || (given[0].text != "yes" && given[0].text != "no")) {
        throw ParseError(call + " takes one argument: yes or no");
      }
      CallArgument arg;
      arg.boolean = given[0].text == "yes";
      args.push_back(arg);
      break;
    }
    case Signature::ObjectPointObject: {
      CallArgument arg;
      arg.kind = CallArgument::Kind::Point;
      if (given.size() != 2 || !parseNumber(given[0].text, arg.point.x) ||
          !parseNumber(given[1].text, arg.point.y)) {
        throw ParseError(call + " takes a point: two numbers, X and Y");
      }
      args.push_back(arg);
      break;
    }
    default:
      if (!given.empty()) throw ParseError(call + " takes no arguments from the scenario");
      break;
  }
  return args;
}

void requireProcess(const ScenarioParser::State& state, const std::string& verb) {
  if (!state.running) {
    throw ParseError("'" + verb +
                     "' needs a running home-screen process: add a 'launch' line first");
  }
}

std::string optionalClassList() {
  std::string list;
  std::set<std::string> seen;
  for (const HostMethod& m : hostMethods()) {
    if (isOptionalClass(m.className) && seen.insert(m.className).second) {
      list += (list.empty() ? "" : ", ") + std::string(m.className);
    }
  }
  return list;
}

}  // namespace

// Every line parseLine() takes, as `plinka-sim help springboard` documents it. A line added to
// the parser is added here.
const std::vector<sim::LineHelp>& scenarioLines() {
  static const std::vector<sim::LineHelp> lines = {
      {"pref KEY VALUE",
       "Writes KEY into the product's settings file under the device root: true, false, a 64-bit "
       "integer, a \"double-quoted string\", or none to remove it. Takes effect at the next "
       "launch. A file that cannot be written ends the session (exit status 1); an unreadable "
       "one is kept aside and named on standard error."},
      {"without CLASS",
       "Leaves CLASS out of the host's classes at the next launch (only classes the product looks "
       "up)."},
      {"register CLASS", "Registers a left-out class in the running process."},
      {"launch",
       "Starts a home-screen process: loads Plinka3.so (its initialiser runs), makes the "
       "SBUIController and sends applicationDidFinishLaunching: to SpringBoard. A later launch is "
       "a respring: a new process; files, charger, battery and lock state stay."},
      {"set ac on|off", "What isOnAC answers from now on."},
      {"set battery 0|1|2|3",
       "What batteryState answers (while monitored) from now on: unknown, unplugged, charging, "
       "full."},
      {"set locked on|off", "What isUILocked answers from now on."},
      {"set ringer on|off",
       "The ring/silent switch: on rings; off silences system sounds (all but the vibrations), "
       "from now on."},
      {"fault battery INTEGER",
       "Fault injection, for tests of the product: batteryState answers any 64-bit integer, "
       "outside what a device answers."},
      {"fault init another|self",
       "Fault injection: SBUIController's init answers another object than its receiver "
       "(another), or the receiver again (self)."},
      {"post battery", "Posts UIDeviceBatteryStateDidChangeNotification."},
      {"call CLASS SELECTOR [ARG...]",
       "The host sends SELECTOR to its instance of CLASS: yes or no for a BOOL, two numbers X Y "
       "for a CGPoint; object arguments are the host's own."},
      {"plug", "On external power: isOnAC yes, battery charging, then the chime request."},
      {"unplug", "Off external power: battery unplugged."},
      {"lock", "The sleep/wake button: the lock-sound request; locked afterwards."},
      {"unlock",
       "setAuthenticated: YES, then the cover sheet's viewWillDisappear:; unlocked afterwards."},
      {"type TEXT",
       "One key touch-down per character (UTF-8), at its place on a QWERTY keyboard: letters at "
       "their key, an accented letter at its base letter's key (é at e), the space bar for a "
       "space, the \"123\" key for digits and ASCII punctuation. Any other character is a parse "
       "error. Quote TEXT that holds '#' or '\"'."},
      {"delete N", "N backward deletes (1 to 100000)."},
      {"passcode DIGITS", "One number-pad touch-down per digit (1 to 64 digits)."},
      {"volume up|down [N]", "N volume steps (default 1, at most 100000)."},
      {"wait SECONDS", "Advances the simulated clock (0 to 600 seconds a line)."},
      {"note TEXT", "A line of your own in the timeline."},
  };
  return lines;
}

namespace {

Command parseLine(const std::vector<Token>& tokens, ScenarioParser::State& state) {
  Command command{};
  const std::string& verb = tokens[0].text;
  std::vector<Token> rest(tokens.begin() + 1, tokens.end());
  if (verb == "pref") {
    expectCount(tokens, 3, "pref KEY VALUE");
    command.op = Op::Pref;
    command.name = rest[0].text;
    if (command.name.empty()) throw ParseError("the key is empty");
    command.value = prefValue(rest[1]);
  } else if (verb == "without" || verb == "register") {
    expectCount(tokens, 2, verb == "without" ? "without CLASS" : "register CLASS");
    command.op = verb == "without" ? Op::Without : Op::Register;
    command.name = rest[0].text;
    if (!isOptionalClass(command.name)) {
      throw ParseError("'" + command.name +
                       "' is not a class the product looks up; one of: " + optionalClassList());
    }
    if (command.op == Op::Without) {
      state.leftOutNext.insert(command.name);
    } else {
      requireProcess(state, verb);
      if (state.leftOutNow.erase(command.name) == 0) {
        throw ParseError(command.name + " is already registered in the running process");
      }
    }
  } else if (verb == "launch") {
    expectCount(tokens, 1, "launch");
    command.op = Op::Launch;
    state.running = true;
    state.leftOutNow = state.leftOutNext;
    state.leftOutNext.clear();
  } else if (verb == "set") {
    expectCount(tokens, 3,
                "set ac on|off, set battery 0|1|2|3, set locked on|off or set ringer on|off");
    command.op = Op::Set;
    command.name = rest[0].text;
    if (command.name == "ac" || command.name == "locked" || command.name == "ringer") {
      command.number = onOff(rest[1]) ? 1 : 0;
    } else if (command.name == "battery") {
      if (!parseInteger(rest[1].text, command.number) || command.number < 0 || command.number > 3) {
        throw ParseError("a battery state is 0, 1, 2 or 3, got '" + rest[1].text + "'");
      }
    } else {
      throw ParseError("set changes ac, battery, locked or ringer, not '" + command.name + "'");
    }
  } else if (verb == "fault" && tokens.size() >= 2 && sim::isDiskFault({rest[0].text})) {
    // The device's file layer; runs as a `set` line whose number holds the faults in force.
    std::vector<std::string> words;
    for (const Token& word : rest) words.push_back(word.text);
    std::string problem;
    std::optional<unsigned> faults = sim::parseDiskFault(words, state.diskFaults, problem);
    if (!faults) throw ParseError(problem);
    state.diskFaults = *faults;
    command.op = Op::Set;
    command.name = "disk";
    command.number = *faults;
    command.label = words[0] + " " + words[1];
  } else if (verb == "fault") {
    // Host answers outside what `set` accepts; they run as `set` lines.
    expectCount(
        tokens, 3,
        "fault battery INTEGER, fault init another|self or " + std::string(sim::kDiskFaultUsage));
    command.op = Op::Set;
    command.name = rest[0].text;
    if (command.name == "battery") {
      if (!parseInteger(rest[1].text, command.number)) {
        throw ParseError("fault battery takes a 64-bit integer, got '" + rest[1].text + "'");
      }
    } else if (command.name == "init" && (rest[1].text == "another" || rest[1].text == "self")) {
      command.number = rest[1].text == "another" ? 1 : 0;
    } else {
      throw ParseError("usage: fault battery INTEGER, fault init another|self or " +
                       std::string(sim::kDiskFaultUsage));
    }
  } else if (verb == "post") {
    expectCount(tokens, 2, "post battery");
    if (rest[0].text != "battery") throw ParseError("the only notification to post is 'battery'");
    requireProcess(state, verb);
    command.op = Op::Post;
  } else if (verb == "call") {
    if (tokens.size() < 3) throw ParseError("usage: call CLASS SELECTOR [ARG...]");
    requireProcess(state, verb);
    command.op = Op::Call;
    command.name = rest[0].text;
    command.selector = rest[1].text;
    if (!isHostClass(command.name))
      throw ParseError("the host has no class '" + command.name + "'");
    command.method = findHostMethod(command.name, command.selector);
    if (command.method == nullptr) {
      throw ParseError(command.name + " has no host method '" + command.selector + "'");
    }
    command.args = callArguments(*command.method, {rest.begin() + 2, rest.end()});
  } else if (verb == "plug" || verb == "unplug" || verb == "lock" || verb == "unlock") {
    expectCount(tokens, 1, verb.c_str());
    requireProcess(state, verb);
    command.op = verb == "plug"     ? Op::Plug
                 : verb == "unplug" ? Op::Unplug
                 : verb == "lock"   ? Op::Lock
                                    : Op::Unlock;
  } else if (verb == "type") {
    if (tokens.size() < 2) throw ParseError("usage: type TEXT");
    requireProcess(state, verb);
    command.op = Op::Type;
    if (rest[0].quoted) {
      expectCount(tokens, 2, "type TEXT (quote text that holds '#' or '\"')");
      command.name = rest[0].text;
    } else {
      for (const Token& word : rest) command.name += (command.name.empty() ? "" : " ") + word.text;
    }
    if (command.name.empty()) throw ParseError("nothing to type");
    std::string problem;
    CGPoint point{};
    for (size_t at = 0; at < command.name.size();) {
      if (!nextKey(command.name, at, point, problem)) throw ParseError(problem);
    }
  } else if (verb == "delete") {
    expectCount(tokens, 2, "delete N");
    requireProcess(state, verb);
    command.op = Op::Delete;
    command.number = pressCount(rest[0]);
  } else if (verb == "passcode") {
    expectCount(tokens, 2, "passcode DIGITS");
    requireProcess(state, verb);
    command.op = Op::Passcode;
    command.name = rest[0].text;
    if (command.name.empty() || command.name.size() > 64 ||
        command.name.find_first_not_of("0123456789") != std::string::npos) {
      throw ParseError("a passcode is 1 to 64 digits, got '" + command.name + "'");
    }
  } else if (verb == "volume") {
    if (tokens.size() != 2 && tokens.size() != 3) throw ParseError("usage: volume up|down [N]");
    requireProcess(state, verb);
    command.op = Op::Volume;
    if (rest[0].text != "up" && rest[0].text != "down") {
      throw ParseError("volume goes up or down, not '" + rest[0].text + "'");
    }
    command.up = rest[0].text == "up";
    command.number = tokens.size() == 3 ? pressCount(rest[1]) : 1;
  } else if (verb == "note") {
    if (tokens.size() < 2) throw ParseError("usage: note TEXT");
    command.op = Op::Note;
    for (const Token& word : rest) command.name += (command.name.empty() ? "" : " ") + word.text;
  } else if (verb == "wait") {
    expectCount(tokens, 2, "wait SECONDS");
    command.op = Op::Wait;
    if (!parseNumber(rest[0].text, command.seconds) || command.seconds < 0 ||
        command.seconds > kLongestWait) {
      throw ParseError("wait takes a number of seconds from 0 to 600, got '" + rest[0].text + "'");
    }
  } else {
    throw ParseError("unknown command '" + verb + "'");
  }
  return command;
}

}  // namespace

bool ScenarioParser::parseLine(const std::string& text, int number, std::vector<Command>& into,
                               std::string& problem) {
  try {
    std::string why;
    std::optional<std::vector<Token>> split = script::tokenize(text, why);
    if (!split) throw ParseError(why);
    const std::vector<Token>& tokens = *split;
    if (tokens.empty()) return true;
    if (tokens[0].quoted) throw ParseError("a line starts with a command, not a string");
    Command command = springboard::parseLine(tokens, state_);
    command.line = number;
    into.push_back(std::move(command));
    return true;
  } catch (const ParseError& e) {
    problem = name_ + ":" + std::to_string(number) + ": " + e.message;
    return false;
  }
}

std::optional<Scenario> parseScenario(std::istream& in, const std::string& name,
                                      std::string& error) {
  Scenario scenario{name, {}};
  ScenarioParser parser(name);
  std::string line;
  int number = 0;
  error.clear();
  while (std::getline(in, line)) {
    if (std::string problem; !parser.parseLine(line, ++number, scenario.commands, problem)) {
      error += (error.empty() ? "" : "\n") + problem;
    }
  }
  if (in.bad()) {
    error += (error.empty() ? "" : "\n") + name + ": cannot be read";
  }
  if (!error.empty()) return std::nullopt;
  return scenario;
}

}  // namespace springboard
