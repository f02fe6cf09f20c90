#include <Cephei/HBPreferences.h>
#include <Foundation/ObjectState.h>
#include <device/device.h>

namespace {

struct PreferencesState : ns::ObjectState {
  ns::Ref identifier;
  ns::Ref values;  // an NSDictionary, or nil when nothing is readable
};

id initWithIdentifier(id self, SEL, id identifier) {
  if (identifier == nil || ns::utf8(identifier).empty()) {
    ns::release(self);
    return nil;
  }
  auto state = std::make_unique<PreferencesState>();
  state->identifier = ns::Ref(identifier);
  ns::AutoreleasePool pool;
  id stored = ns::readPlist(
      device::hostPath("/var/mobile/Library/Preferences/" + ns::utf8(identifier) + ".plist"));
  if (stored != nil && ns::isKindOf(stored, "NSDictionary")) state->values = ns::Ref(stored);
  ns::setObjectState(self, std::move(state));
  return self;
}

id objectForKey(id self, SEL, id key) {
  auto* state = ns::stateOf<PreferencesState>(self);
  if (state == nullptr || !state->values || key == nil) return nil;
  return msgSend(state->values.get(), sel("objectForKey:"), key);
}

id identifier(id self, SEL) {
  auto* state = ns::stateOf<PreferencesState>(self);
  return state != nullptr ? state->identifier.get() : nil;
}

__attribute__((constructor)) void registerHBPreferences() {
  ClassBuilder("HBPreferences", ns::classNamed("NSObject"))
      .method("initWithIdentifier:", initWithIdentifier)
      .method("objectForKey:", objectForKey)
      .method("identifier", identifier)
      .register_();
}

}  // namespace
