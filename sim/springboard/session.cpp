#include "session.h"

#include <Foundation/ObjectState.h>
#include <UIKit/UIDevice.h>
#include <device/device.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "keyboard.h"
#include "tweak_loader.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace springboard {
namespace {

constexpr const char* kPreferencesFile = "/var/mobile/Library/Preferences/com.plinka.plinka3.plist";
constexpr int kChildLeaked = 23;

// --- the channel from a process back to the session -------------------------------------

void writeAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// Lines: "J" + a journal entry, "C" + the scenario line about to run, "S" + the device state
// at the end, "E" + an error that ends the process. Journal entries are sent as they are made,
// in batches, so the process keeps none of them.
class Channel {
 public:
  explicit Channel(int fd) : fd_(fd) {}
  void entry(const journal::Entry& e) {
    pending_ += 'J';
    pending_ += e.dump();
    pending_ += '\n';
    if (pending_.size() >= kBatch) flush();
  }
  void flush() {
    writeAll(fd_, pending_);
    pending_.clear();
  }
  void send(char tag, const std::string& text) {
    pending_ += tag;
    pending_ += text;
    pending_ += '\n';
    flush();
  }

 private:
  static constexpr size_t kBatch = 64 * 1024;
  int fd_;
  std::string pending_;
};

nlohmann::json toJson(const DeviceState& d) {
  return {{"onAC", d.onAC},         {"battery", d.battery},
          {"locked", d.locked},     {"ringerOn", d.ringerOn},
          {"clockMs", d.clockMs},   {"leftOut", d.leftOut},
          {"launches", d.launches}, {"initAnswersAnother", d.initAnswersAnother}};
}

DeviceState fromJson(const nlohmann::json& j) {
  DeviceState d;
  d.onAC = j.at("onAC");
  d.battery = j.at("battery");
  d.locked = j.at("locked");
  d.ringerOn = j.at("ringerOn");
  d.clockMs = j.at("clockMs");
  d.leftOut = j.at("leftOut").get<std::set<std::string>>();
  d.launches = j.at("launches");
  d.initAnswersAnother = j.at("initAnswersAnother");
  return d;
}

Class recordMissingClass(const char* name) {
  journal::record("class-missing", {{"class", name}});
  return Nil;
}

// The body of a home-screen process: runs `commands` (the first is the launch), reports back on
// `fd`, never returns.
[[noreturn]] void runProcess(const std::vector<const Command*>& commands,
                             const SessionOptions& options, DeviceState device, int fd) {
  Channel channel(fd);
  journal::clear();
  journal::exchangeSink([&channel](const journal::Entry& e) { channel.entry(e); });
  int status = 0;
  {
    HomeScreen home(options, device);
    for (const Command* command : commands) {
      channel.send('C', std::to_string(command->line));
      ns::AutoreleasePool pool;
      if (command->op == Op::Launch) {
        std::string error;
        if (!home.launch(error)) {
          channel.send('E', error);
          std::fflush(nullptr);
          _exit(1);
        }
      } else if (std::string error; !home.run(*command, error)) {
        channel.send('E', error);
        std::fflush(nullptr);
        _exit(1);
      }
      channel.flush();
    }
    home.saveDeviceState();
  }
  channel.send('S', toJson(device).dump());
#if defined(__SANITIZE_ADDRESS__)
  journal::clear();
  if (__lsan_do_recoverable_leak_check() != 0) status = kChildLeaked;
#endif
  std::fflush(nullptr);
  _exit(status);
}

// Runs one process in a child and gathers what it reports.
bool runChild(const std::vector<const Command*>& commands, const Scenario& scenario,
              const SessionOptions& options, DeviceState& device, const journal::Sink& sink,
              SessionResult& result) {
  int channel[2];
  if (pipe(channel) != 0) {
    result.error = std::string("cannot start a home-screen process: ") + std::strerror(errno);
    return false;
  }
  std::fflush(nullptr);
  pid_t child = fork();
  if (child < 0) {
    result.error = std::string("cannot start a home-screen process: ") + std::strerror(errno);
    close(channel[0]);
    close(channel[1]);
    return false;
  }
  if (child == 0) {
    close(channel[0]);
    runProcess(commands, options, device, channel[1]);
  }
  close(channel[1]);
  std::string pending;
  std::string lastLine;
  std::string error;
  bool finished = false;
  auto handle = [&](const std::string& line) {
    if (line.empty()) return;
    std::string body = line.substr(1);
    switch (line[0]) {
      case 'J':
        sink(journal::Entry::parse(body));
        break;
      case 'C':
        lastLine = body;
        break;
      case 'E':
        error = body;
        break;
      case 'S':
        device = fromJson(nlohmann::json::parse(body));
        finished = true;
        break;
    }
  };
  char buffer[65536];
  for (;;) {
    ssize_t n = read(channel[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    pending.append(buffer, static_cast<size_t>(n));
    size_t start = 0;
    for (size_t newline; (newline = pending.find('\n', start)) != std::string::npos;) {
      handle(pending.substr(start, newline - start));
      start = newline + 1;
    }
    pending.erase(0, start);
  }
  close(channel[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  std::string where = scenario.name + ":" + lastLine;
  if (!error.empty()) {
    result.error = where + ": " + error;
  } else if (WIFSIGNALED(status)) {
    result.error = where + ": the home-screen process crashed (" +
                   std::string(strsignal(WTERMSIG(status))) + ")";
  } else if (WIFEXITED(status) && WEXITSTATUS(status) == kChildLeaked) {
    result.error = scenario.name + ": the home-screen process leaked memory";
  } else if (!finished || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    result.error = where + ": the home-screen process ended unexpectedly";
  }
  return result.error.empty();
}

}  // namespace

bool writePreference(const std::string& key, const PrefValue& value, std::string* failure) {
  ns::AutoreleasePool pool;
  ns::PlistUpdate outcome;
  std::string file = device::hostPath(kPreferencesFile);
  bool written = ns::updatePlistDictionary(
      file,
      [&](id settings) {
        id object = nil;
        switch (value.kind) {
          case PrefValue::Kind::Boolean:
            object = ns::boolNumber(value.boolean);
            break;
          case PrefValue::Kind::Integer:
            object = ns::integerNumber(value.integer);
            break;
          case PrefValue::Kind::String:
            object = ns::string(value.string);
            break;
          case PrefValue::Kind::Remove:
            break;
        }
        ns::setValue(settings, key, object);
      },
      &outcome);
  ns::recordPlistUpdate(file, key, outcome);
  if (!outcome.keptAside.empty()) {
    std::fprintf(stderr, "plinka-sim: %s was unreadable; kept aside as %s\n", kPreferencesFile,
                 outcome.keptAside.c_str());
  }
  if (!written && failure != nullptr) *failure = outcome.failure;
  return written;
}

// --- the device outside any process -------------------------------------------------------

namespace {

nlohmann::ordered_json prefJson(const PrefValue& value) {
  switch (value.kind) {
    case PrefValue::Kind::Boolean:
      return value.boolean;
    case PrefValue::Kind::Integer:
      return value.integer;
    case PrefValue::Kind::String:
      return value.string;
    case PrefValue::Kind::Remove:
      return nullptr;
  }
  return nullptr;
}

// Lines that change the device rather than a process; they run wherever the session is.
bool runDeviceLine(const Command& command, DeviceState& device, std::string& error) {
  switch (command.op) {
    case Op::Pref:
      journal::record("pref", {{"key", command.name}, {"value", prefJson(command.value)}});
      if (std::string why; !writePreference(command.name, command.value, &why)) {
        error = std::string("cannot write ") + kPreferencesFile + ": " + why;
        return false;
      }
      return true;
    case Op::Without:
      device.leftOut.insert(command.name);
      journal::record("without", {{"class", command.name}});
      return true;
    case Op::Set:
      if (command.name == "ac") device.onAC = command.number != 0;
      if (command.name == "locked") device.locked = command.number != 0;
      if (command.name == "ringer") device.ringerOn = command.number != 0;
      device::setRingerOn(device.ringerOn);
      if (command.name == "battery") device.battery = command.number;
      if (command.name == "init") device.initAnswersAnother = command.number != 0;
      journal::record("set", {{"name", command.name}, {"value", command.number}});
      return true;
    case Op::Wait:
      device.clockMs += static_cast<int64_t>(command.seconds * 1000.0 + 0.5);
      device::setNowMs(device.clockMs);
      return true;
    case Op::Note:
      journal::record("note", {{"text", command.name}});
      return true;
    default:
      return true;  // the parser lets nothing else run outside a process
  }
}

}  // namespace

SessionResult runSession(const Scenario& scenario, const SessionOptions& options,
                         const journal::Sink& sink) {
  SessionResult result;
  DeviceState device;
  device::setRoot(options.deviceRoot);
  journal::clear();
  journal::Sink before = journal::exchangeSink(sink);
  device::setRingerOn(device.ringerOn);
  const auto& commands = scenario.commands;
  size_t i = 0;
  while (i < commands.size() && result.exitStatus == 0) {
    if (commands[i].op != Op::Launch) {
      device::setNowMs(device.clockMs);
      std::string error;
      if (!runDeviceLine(commands[i], device, error)) {
        result.exitStatus = 1;
        result.error = scenario.name + ":" + std::to_string(commands[i].line) + ": " + error;
      }
      ++i;
      continue;
    }
    std::vector<const Command*> process;
    do {
      process.push_back(&commands[i++]);
    } while (i < commands.size() && commands[i].op != Op::Launch);
    if (!runChild(process, scenario, options, device, sink, result)) result.exitStatus = 1;
  }
  journal::exchangeSink(std::move(before));
  return result;
}

SessionResult runSession(const Scenario& scenario, const SessionOptions& options) {
  std::vector<journal::Entry> entries;
  SessionResult result =
      runSession(scenario, options, [&](const journal::Entry& e) { entries.push_back(e); });
  result.journal = std::move(entries);
  return result;
}

// --- the host inside a process -------------------------------------------------------------

HomeScreen::HomeScreen(const SessionOptions& options, DeviceState& device)
    : options_(options), device_(device) {
  device::setRoot(options.deviceRoot);
  objc_setGetUnknownClassHandler(recordMissingClass);
  loadDeviceState();
}

void HomeScreen::loadDeviceState() {
  device::setNowMs(device_.clockMs);
  device::setRingerOn(device_.ringerOn);
  hostState() = {device_.onAC, device_.locked, device_.initAnswersAnother};
  simulated_device::setBatteryState(device_.battery);
}

void HomeScreen::saveDeviceState() {
  device_.onAC = hostState().onAC;
  device_.locked = hostState().uiLocked;
  device_.ringerOn = device::ringerOn();
  device_.battery = simulated_device::batteryState();
  device_.clockMs = device::nowMs();
}

void HomeScreen::step() {
  device::setNowMs(device::nowMs() + kStepMs);
}

void HomeScreen::userAction(const char* action, journal::Entry details) {
  journal::Entry fields{{"action", action}};
  for (auto& [name, value] : details.items()) fields[name] = value;
  journal::record("user", fields);
}

namespace {

// The host's objects, kept for the life of the process.
std::map<std::string, id>& hostInstances() {
  static std::map<std::string, id> instances;
  return instances;
}

journal::Entry shownArguments(const HostMethod& method, const id objects[2],
                              const std::vector<CallArgument>& args) {
  switch (method.signature) {
    case Signature::Object:
      return {ns::journalName(objects[0])};
    case Signature::TwoObjects:
      return {ns::journalName(objects[0]), ns::journalName(objects[1])};
    case Signature::ObjectPointObject:
      return {ns::journalName(objects[0]),
              {{"x", args[0].point.x}, {"y", args[0].point.y}},
              ns::journalName(objects[1])};
    case Signature::Bool:
      return {args[0].boolean};
    default:
      return journal::Entry::array();
  }
}

}  // namespace

bool HomeScreen::launch(std::string& error) {
  ++device_.launches;
  journal::record("launch", {{"process", device_.launches}});
  buildHostClasses(device_.leftOut);
  device_.leftOut.clear();
  if (loadTweak(options_.tweakDir, error) == LoadOutcome::Failed) return false;
  // The controller is made as the home screen makes it: allocated, then initialised; the
  // object init answers is the controller from then on.
  if (Class controller = objc_lookUpClass("SBUIController")) {
    journal::Pause quiet;
    hostInstances()["SBUIController"] = send(controller, "alloc");
  }
  callByName("SBUIController", "init");
  callByName("SpringBoard", "applicationDidFinishLaunching:");
  step();
  return true;
}

id HomeScreen::instanceOf(const std::string& className) {
  auto found = hostInstances().find(className);
  if (found != hostInstances().end()) return found->second;
  Class cls = objc_lookUpClass(className.c_str());
  if (cls == Nil) return nil;
  journal::Pause quiet;
  id instance = className == "SBLockScreenManager" ? send(cls, "sharedInstance")
                                                   : send(send(cls, "alloc"), "init");
  hostInstances()[className] = instance;
  return instance;
}

id HomeScreen::argumentObject(const char* className) {
  // The application object is the home screen's application itself.
  if (std::strcmp(className, "UIApplication") == 0) return instanceOf("SpringBoard");
  return ns::autorelease(send(cls(className), "new"));
}

void HomeScreen::call(const std::string& className, const HostMethod& method,
                      const std::vector<CallArgument>& args) {
  ns::AutoreleasePool pool;
  SEL selector = sel(method.selector);
  id receiver = method.signature == Signature::SharedInstance
                    ? asId(objc_lookUpClass(className.c_str()))
                    : instanceOf(className);
  id objects[2] = {nil, nil};
  for (int i = 0; i < 2 && method.argumentClasses[i] != nullptr; ++i) {
    objects[i] = argumentObject(method.argumentClasses[i]);
  }
  journal::Entry entry{{"class", className},
                       {"selector", method.selector},
                       {"args", shownArguments(method, objects, args)}};
  if (receiver == nil) entry["missing"] = true;
  journal::record("call", entry);
  if (receiver == nil) return;  // the class is not in this process: there is nothing to send to
  switch (method.signature) {
    case Signature::None:
      msgSend<void>(receiver, selector);
      break;
    case Signature::Object:
      msgSend<void>(receiver, selector, objects[0]);
      break;
    case Signature::TwoObjects:
      msgSend<void>(receiver, selector, objects[0], objects[1]);
      break;
    case Signature::ObjectPointObject:
      msgSend<void>(receiver, selector, objects[0], args[0].point, objects[1]);
      break;
    case Signature::Bool:
      msgSend<void>(receiver, selector, args[0].boolean ? YES : NO);
      break;
    case Signature::InitResult:
      hostInstances()[className] = msgSend(receiver, selector);
      break;
    case Signature::BoolResult:
      msgSend<BOOL>(receiver, selector);
      break;
    case Signature::SharedInstance:
      msgSend(receiver, selector);
      break;
  }
}

void HomeScreen::callByName(const std::string& className, const char* selector,
                            const std::vector<CallArgument>& args) {
  call(className, *findHostMethod(className, selector), args);
}

bool HomeScreen::run(const Command& command, std::string& error) {
  switch (command.op) {
    case Op::Launch:
      return true;  // handled by launch()
    case Op::Pref:
    case Op::Without:
    case Op::Set:
    case Op::Wait:
    case Op::Note: {
      // The same lines as outside a process, on the device as this process has left it.
      saveDeviceState();
      bool done = runDeviceLine(command, device_, error);
      loadDeviceState();
      return done;
    }
    case Op::Register:
      registerHostClass(command.name);
      journal::record("register", {{"class", command.name}});
      return true;
    case Op::Post:
      msgSend<void>(send(cls("NSNotificationCenter"), "defaultCenter"),
                    sel("postNotificationName:object:"), UIDeviceBatteryStateDidChangeNotification,
                    send(cls("UIDevice"), "currentDevice"));
      step();
      return true;
    case Op::Call:
      call(command.name, *command.method, command.args);
      step();
      return true;
    case Op::Plug:
      userAction("plug");
      hostState().onAC = true;
      simulated_device::changeBatteryState(UIDeviceBatteryStateCharging);
      callByName("SBUIController", "playChargingChimeIfAppropriate");
      step();
      return true;
    case Op::Unplug:
      userAction("unplug");
      hostState().onAC = false;
      simulated_device::changeBatteryState(UIDeviceBatteryStateUnplugged);
      step();
      return true;
    case Op::Lock:
      userAction("lock");
      callByName("SBSleepWakeHardwareButtonInteraction", "_playLockSound");
      hostState().uiLocked = true;
      step();
      return true;
    case Op::Unlock: {
      userAction("unlock");
      CallArgument yes;
      yes.boolean = true;
      callByName("SBDashBoardLockScreenEnvironment", "setAuthenticated:", {yes});
      callByName("SBCoverSheetPrimarySlidingViewController", "viewWillDisappear:", {yes});
      hostState().uiLocked = false;
      step();
      return true;
    }
    case Op::Type:
      userAction("type", {{"text", command.name}});
      for (size_t at = 0; at < command.name.size();) {
        CallArgument point;
        point.kind = CallArgument::Kind::Point;
        std::string problem;  // the parser has let only keyboard characters through
        if (!nextKey(command.name, at, point.point, problem)) continue;
        callByName("UIKeyboardLayoutStar", "touchDownWithKey:atPoint:executionContext:", {point});
        step();
      }
      return true;
    case Op::Delete:
      userAction("delete", {{"count", command.number}});
      for (int64_t n = 0; n < command.number; ++n) {
        callByName("UIKeyboardImpl", "deleteBackward");
        step();
      }
      return true;
    case Op::Passcode:
      userAction("passcode", {{"digits", command.name}});
      for (size_t n = 0; n < command.name.size(); ++n) {
        callByName("SBUIPasscodeLockNumberPad", "_numberPadTouchDown:forEvent:");
        step();
      }
      return true;
    case Op::Volume:
      userAction("volume", {{"direction", command.up ? "up" : "down"}, {"count", command.number}});
      for (int64_t n = 0; n < command.number; ++n) {
        callByName("SBVolumeControl", command.up ? "increaseVolume" : "decreaseVolume");
        step();
      }
      return true;
  }
  return true;
}

}  // namespace springboard
