#include "home_screen.h"

#include <Foundation/ObjectState.h>
#include <UIKit/UIDevice.h>
#include <device/device.h>

#include <cstring>
#include <map>

#include "disk_faults.h"
#include "keyboard.h"
#include "tweak_loader.h"

namespace springboard {
namespace {

Class recordMissingClass(const char* name) {
  journal::record("class-missing", {{"class", name}});
  return Nil;
}

}  // namespace

HomeScreen::HomeScreen(const SessionOptions& options, DeviceState& device)
    : options_(options), device_(device) {
  device::setRoot(options.deviceRoot);
  objc_setGetUnknownClassHandler(recordMissingClass);
  loadDeviceState();
}

void HomeScreen::loadDeviceState() {
  device::setNowMs(device_.clockMs);
  device::setRingerOn(device_.ringerOn);
  sim::setDiskFaults(device_.diskFaults);
  hostState() = {device_.onAC, device_.locked, device_.initAnswersAnother};
  simulated_device::setBatteryState(device_.battery);
}

void HomeScreen::saveDeviceState() {
  device_.onAC = hostState().onAC;
  device_.locked = hostState().uiLocked;
  device_.ringerOn = device::ringerOn();
  device_.battery = simulated_device::batteryState();
  device_.clockMs = device::nowMs();
  device_.diskFaults = sim::diskFaults();
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

bool HomeScreen::runLine(const Command& command, std::string& error) {
  return command.op == Op::Launch ? launch(error) : run(command, error);
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
