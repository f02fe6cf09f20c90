#include "host_classes.h"

#include <AudioToolbox/AudioToolbox.h>
#include <Foundation/ObjectState.h>
#include <device/journal.h>

#include <array>
#include <cstring>
#include <map>
#include <utility>

namespace springboard {
namespace {

constexpr SystemSoundID kStockChime = 1106;
constexpr SystemSoundID kStockLockSound = 1100;

// The class hierarchy, parents first.
struct HostClass {
  const char* name;
  const char* superclass;
  bool optional;  // looked up by the product, so a scenario may leave it out
};
const HostClass kClasses[] = {
    {"UIResponder", "NSObject", false},
    {"UIApplication", "UIResponder", false},
    {"SpringBoard", "UIApplication", true},
    {"UIViewController", "UIResponder", false},
    {"SBCoverSheetPrimarySlidingViewController", "UIViewController", true},
    {"UIView", "UIResponder", false},
    {"UIKeyboardLayout", "UIView", false},
    {"UIKeyboardLayoutStar", "UIKeyboardLayout", true},
    {"UIKeyboardImpl", "UIView", true},
    {"SBUIController", "NSObject", true},
    {"SBSleepWakeHardwareButtonInteraction", "NSObject", true},
    {"SBLockScreenManager", "NSObject", true},
    {"SBUIPasscodeLockNumberPad", "UIView", true},
    {"SBDashBoardLockScreenEnvironment", "NSObject", true},
    {"SBVolumeControl", "NSObject", true},
    // The objects the host passes as arguments.
    {"UIKBTree", "NSObject", false},
    {"UIKeyboardTaskExecutionContext", "NSObject", false},
    {"SBPasscodeNumberPadButton", "UIView", false},
    {"UIEvent", "NSObject", false},
};

// The host methods.
constexpr std::array<HostMethod, 17> kMethods = {{
    {"SBUIController", "init", Signature::InitResult, {}},
    {"SBUIController", "playChargingChimeIfAppropriate", Signature::None, {}},
    {"SBUIController", "isOnAC", Signature::BoolResult, {}},
    {"UIKeyboardLayoutStar",
     "touchDownWithKey:atPoint:executionContext:",
     Signature::ObjectPointObject,
     {"UIKBTree", "UIKeyboardTaskExecutionContext"}},
    {"UIKeyboardImpl", "deleteBackward", Signature::None, {}},
    {"SBSleepWakeHardwareButtonInteraction", "_playLockSound", Signature::None, {}},
    {"SBLockScreenManager", "sharedInstance", Signature::SharedInstance, {}},
    {"SBLockScreenManager", "isUILocked", Signature::BoolResult, {}},
    {"SBUIPasscodeLockNumberPad",
     "_numberPadTouchDown:forEvent:",
     Signature::TwoObjects,
     {"SBPasscodeNumberPadButton", "UIEvent"}},
    {"SBUIPasscodeLockNumberPad",
     "_numberPadTouchCancelled:forEvent:",
     Signature::TwoObjects,
     {"SBPasscodeNumberPadButton", "UIEvent"}},
    {"SBUIPasscodeLockNumberPad", "_backspaceButtonHit", Signature::None, {}},
    {"SBUIPasscodeLockNumberPad", "_cancelButtonHit", Signature::None, {}},
    {"SpringBoard", "applicationDidFinishLaunching:", Signature::Object, {"UIApplication"}},
    {"UIViewController", "viewWillDisappear:", Signature::Bool, {}},
    {"SBDashBoardLockScreenEnvironment", "setAuthenticated:", Signature::Bool, {}},
    {"SBVolumeControl", "increaseVolume", Signature::None, {}},
    {"SBVolumeControl", "decreaseVolume", Signature::None, {}},
}};

// --- stock implementations ---------------------------------------------------------------

// Each stock implementation is made for one row of the table and names that row, whatever
// selector it was sent with: a hook that reaches another method's implementation shows as that
// method, with the selector it was sent as "sent".
journal::Entry stockEntry(size_t row, id self, SEL cmd, journal::Entry args) {
  journal::Entry entry = {{"class", kMethods[row].className},
                          {"selector", kMethods[row].selector},
                          {"receiver", ns::journalName(self)},
                          {"args", std::move(args)}};
  if (std::strcmp(sel_getName(cmd), kMethods[row].selector) != 0) entry["sent"] = sel_getName(cmd);
  return entry;
}

template <size_t Row>
void stockNone(id self, SEL cmd) {
  if (journal::recording()) {
    journal::record("stock", stockEntry(Row, self, cmd, journal::Entry::array()));
  }
  const char* selector = kMethods[Row].selector;
  if (std::strcmp(selector, "playChargingChimeIfAppropriate") == 0) {
    AudioServicesPlaySystemSound(kStockChime);
  } else if (std::strcmp(selector, "_playLockSound") == 0) {
    AudioServicesPlaySystemSound(kStockLockSound);
  }
}

template <size_t Row>
void stockObject(id self, SEL cmd, id object) {
  if (!journal::recording()) return;
  journal::record("stock", stockEntry(Row, self, cmd, {ns::journalName(object)}));
}

template <size_t Row>
void stockTwoObjects(id self, SEL cmd, id first, id second) {
  if (!journal::recording()) return;
  journal::record("stock",
                  stockEntry(Row, self, cmd, {ns::journalName(first), ns::journalName(second)}));
}

template <size_t Row>
void stockObjectPointObject(id self, SEL cmd, id first, CGPoint point, id second) {
  if (!journal::recording()) return;
  journal::Entry args = {
      ns::journalName(first), {{"x", point.x}, {"y", point.y}}, ns::journalName(second)};
  journal::record("stock", stockEntry(Row, self, cmd, std::move(args)));
}

template <size_t Row>
void stockBool(id self, SEL cmd, BOOL flag) {
  journal::record("stock", stockEntry(Row, self, cmd, {flag != NO}));
}

template <size_t Row>
id stockInit(id self, SEL cmd) {
  id initialised = sendSuper(self, objc_getClass(kMethods[Row].className), "init");
  if (hostState().initAnswersAnother && initialised != nil) {
    // As a class cluster's init may: another object of the class answers. The receiver is kept
    // (not released) so that anything that took it in before init can still reach it.
    ns::makeImmortal(initialised);
    initialised = ns::makeImmortal(sendSuper(send(object_getClass(initialised), "alloc"),
                                             objc_getClass(kMethods[Row].className), "init"));
  }
  journal::Entry entry = stockEntry(Row, self, cmd, journal::Entry::array());
  if (initialised != self) entry["result"] = ns::journalName(initialised);
  journal::record("stock", entry);
  return initialised;
}

template <size_t Row>
BOOL stockBoolResult(id self, SEL cmd) {
  bool answer =
      std::strcmp(kMethods[Row].selector, "isOnAC") == 0 ? hostState().onAC : hostState().uiLocked;
  journal::Entry entry = stockEntry(Row, self, cmd, journal::Entry::array());
  entry["result"] = answer;
  journal::record("stock", entry);
  return answer ? YES : NO;
}

template <size_t Row>
id stockSharedInstance(id self, SEL cmd) {
  static std::map<id, id> shared;  // one per class object
  id& instance = shared[self];
  if (instance == nil) instance = ns::makeImmortal(msgSend(self, sel("new")));
  if (journal::recording()) {
    journal::Entry entry = stockEntry(Row, self, cmd, journal::Entry::array());
    entry["receiver"] = class_getName(reinterpret_cast<Class>(self));
    entry["result"] = ns::journalName(instance);
    journal::record("stock", entry);
  }
  return instance;
}

template <size_t Row>
void addStock(Class cls) {
  const HostMethod& m = kMethods[Row];
  auto add = [&](Class target, auto implementation) {
    IMP imp = reinterpret_cast<IMP>(implementation);
    if (!class_addMethod(target, sel(m.selector), imp, typeEncodingOf(implementation).c_str())) {
      // The platform's class has its own: the host's stock behaviour replaces it. (The class's
      // dispatch table is built first; see the hooking library.)
      class_getMethodImplementation(target, sel(m.selector));
      method_setImplementation(class_getInstanceMethod(target, sel(m.selector)), imp);
    }
  };
  switch (m.signature) {
    case Signature::None:
      return add(cls, stockNone<Row>);
    case Signature::Object:
      return add(cls, stockObject<Row>);
    case Signature::TwoObjects:
      return add(cls, stockTwoObjects<Row>);
    case Signature::ObjectPointObject:
      return add(cls, stockObjectPointObject<Row>);
    case Signature::Bool:
      return add(cls, stockBool<Row>);
    case Signature::InitResult:
      return add(cls, stockInit<Row>);
    case Signature::BoolResult:
      return add(cls, stockBoolResult<Row>);
    case Signature::SharedInstance:
      return add(object_getClass(asId(cls)), stockSharedInstance<Row>);
  }
}

template <size_t... Rows>
void addStockMethods(Class cls, const char* name, std::index_sequence<Rows...>) {
  ((std::strcmp(kMethods[Rows].className, name) == 0 ? addStock<Rows>(cls) : void()), ...);
}

const HostClass* findClass(const std::string& name) {
  for (const HostClass& host : kClasses) {
    if (name == host.name) return &host;
  }
  return nullptr;
}

// A new class gets its methods before it is registered, as a class is built, so that building
// it is not an effect the journal sees. A class the platform already has (UIKit's
// UIViewController, say) gets the host's methods added.
void buildClass(const HostClass& host) {
  if (Class existing = objc_lookUpClass(host.name)) {
    addStockMethods(existing, host.name, std::make_index_sequence<kMethods.size()>{});
    return;
  }
  ClassBuilder builder(host.name, objc_lookUpClass(host.superclass));
  addStockMethods(builder.cls(), host.name, std::make_index_sequence<kMethods.size()>{});
  builder.register_();
}

}  // namespace

std::span<const HostMethod> hostMethods() {
  return kMethods;
}

bool isHostClass(const std::string& name) {
  return findClass(name) != nullptr;
}

bool isOptionalClass(const std::string& name) {
  const HostClass* host = findClass(name);
  return host != nullptr && host->optional;
}

const HostMethod* findHostMethod(const std::string& className, const std::string& selector) {
  for (const HostClass* host = findClass(className); host != nullptr;
       host = findClass(host->superclass)) {
    for (const HostMethod& m : kMethods) {
      if (host->name == std::string(m.className) && selector == m.selector) return &m;
    }
  }
  return nullptr;
}

HostState& hostState() {
  static HostState state;
  return state;
}

void buildHostClasses(const std::set<std::string>& leftOut) {
  journal::Pause quiet;
  ns::classNamed("NSObject");
  for (const HostClass& host : kClasses) {
    if (leftOut.count(host.name) == 0) buildClass(host);
  }
}

void registerHostClass(const std::string& name) {
  journal::Pause quiet;
  if (const HostClass* host = findClass(name)) buildClass(*host);
}

}  // namespace springboard
