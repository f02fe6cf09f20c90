// The home screen's classes, as the simulated host builds them in the runtime.
//
// Every class the product hooks or queries is created with objc_allocateClassPair and given
// stock implementations. A stock implementation records itself in the journal as "stock"
// {class, selector, receiver, args} with the arguments it received (queries add "result", init
// too when it answers another object than its receiver). Class and selector are those it was made
// for, fixed when it is made; when it is reached with another selector (a hook calling the wrong
// saved implementation), that selector is added as "sent". It does what the real one does where the
// product depends on it: the stock charging chime and lock sound play their system sounds, isOnAC /
// isUILocked / sharedInstance answer from the simulated device. While the journal is paused they
// skip the recording and only do their work.
#pragma once

#include <CoreGraphics/CoreGraphics.h>  // CGPoint

#include <set>
#include <span>
#include <string>
#include <vector>

namespace springboard {

// How the arguments of a host method are made and shown.
enum class Signature {
  None,               // no arguments
  Object,             // one object (the host's own)
  TwoObjects,         // two objects
  ObjectPointObject,  // object, CGPoint, object
  Bool,               // one BOOL
  InitResult,         // -init: answers the object
  BoolResult,         // a BOOL query
  SharedInstance,     // +sharedInstance
};

struct HostMethod {
  const char* className;
  const char* selector;
  Signature signature;
  const char* argumentClasses[2];  // the classes of the host's object arguments, in order
};

// Every method the host defines, in one table.
std::span<const HostMethod> hostMethods();

// The classes a scenario can leave out or register later: the ones the product looks up.
bool isOptionalClass(const std::string& name);

// The method `selector` of host class `className` (defined there or inherited); null if none.
const HostMethod* findHostMethod(const std::string& className, const std::string& selector);
bool isHostClass(const std::string& name);

// What the stock implementations answer.
struct HostState {
  bool onAC = false;
  bool uiLocked = false;
  // Fault injection only (the scenario's `fault init another`): SBUIController's init answers
  // another object than its receiver, as a class cluster's init may.
  bool initAnswersAnother = false;
};
HostState& hostState();

// Builds every host class but those left out. Nothing is journaled while the host builds.
void buildHostClasses(const std::set<std::string>& leftOut);
// Registers one class that was left out (and any of its own methods) in the running process.
void registerHostClass(const std::string& name);

}  // namespace springboard
