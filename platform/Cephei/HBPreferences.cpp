#include <Cephei/HBPreferences.h>
#include <Foundation/ObjectState.h>
#include <device/device.h>
#include <device/journal.h>

#include <filesystem>

namespace {

struct PreferencesState : ns::ObjectState {
  ns::Ref identifier;
  ns::Ref values;                  // an NSDictionary, or nil when nothing is readable
  const char* file = "missing";    // what was found: "read", "missing" or "unreadable"
  std::vector<std::string> asked;  // the keys read, in order
};

id initWithIdentifier(id self, SEL, id identifier) {
  if (identifier == nil || ns::utf8(identifier).empty()) {
    ns::release(self);
    return nil;
  }
  auto state = std::make_unique<PreferencesState>();
  state->identifier = ns::Ref(identifier);
  ns::AutoreleasePool pool;
  std::string path =
      device::hostPath("/var/mobile/Library/Preferences/" + ns::utf8(identifier) + ".plist");
  id stored = ns::readPlist(path);
  if (stored != nil && ns::isKindOf(stored, "NSDictionary")) {
    state->values = ns::Ref(stored);
    state->file = "read";
  } else if (std::error_code error; std::filesystem::exists(path, error)) {
    state->file = "unreadable";
  }
  ns::setObjectState(self, std::move(state));
  return self;
}

id objectForKey(id self, SEL, id key) {
  auto* state = ns::stateOf<PreferencesState>(self);
  if (state == nullptr || key == nil) return nil;
  state->asked.push_back(ns::utf8(key));
  if (!state->values) return nil;
  return msgSend(state->values.get(), sel("objectForKey:"), key);
}

// A store records, when it goes, which keys it was asked for and whether its file was there.
void dealloc(id self, SEL) {
  if (auto* state = ns::stateOf<PreferencesState>(self)) {
    journal::record("settings-read", {{"identifier", ns::utf8(state->identifier.get())},
                                      {"keys", state->asked},
                                      {"file", state->file}});
  }
  sendSuper<void>(self, objc_getClass("HBPreferences"), "dealloc");
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
      .method("dealloc", dealloc)
      .register_();
}

}  // namespace
