// NSNotificationCenter and NSNotification.
#include <Foundation/ObjectState.h>
#include <device/journal.h>

#include "internal.h"

namespace ns {
namespace {

struct NotificationState : ObjectState {
  Ref name;
  id object = nil;  // the sender, not retained (as on the device)
};

struct Registration {
  id observer;  // not retained: observers unregister themselves, as on the device
  SEL selector;
  Ref name;   // nil: every notification
  id sender;  // nil: any sender
};

struct CenterState : ObjectState {
  std::vector<Registration> registrations;
};

id notificationName(id self, SEL) {
  NotificationState* state = stateOf<NotificationState>(self);
  return state != nullptr ? state->name.get() : nil;
}
id notificationObject(id self, SEL) {
  NotificationState* state = stateOf<NotificationState>(self);
  return state != nullptr ? state->object : nil;
}

id defaultCenter(id, SEL) {
  static id center = makeImmortal(
      newObject(objc_getClass("NSNotificationCenter"), std::make_unique<CenterState>()));
  return center;
}

CenterState& center(id self) {
  return *stateOf<CenterState>(self);
}

void addObserver(id self, SEL, id observer, SEL selector, id name, id sender) {
  if (observer == nil || selector == nullptr) return;
  // Registering again adds another registration: the observer then hears each post twice.
  center(self).registrations.push_back({observer, selector, Ref(name), sender});
  journal::record("observe", {{"observer", className(observer)},
                              {"selector", sel_getName(selector)},
                              {"name", toJson(name)}});
}

void removeObserver(id self, SEL, id observer) {
  auto& all = center(self).registrations;
  std::erase_if(all, [&](const Registration& r) { return r.observer == observer; });
}

bool matches(const Registration& r, id name, id sender) {
  bool nameMatches = r.name.get() == nil || msgSend<BOOL>(r.name.get(), sel("isEqual:"), name);
  return nameMatches && (r.sender == nil || r.sender == sender);
}

void postNotificationName(id self, SEL, id name, id sender) {
  if (name == nil) return;
  journal::record("post", {{"name", utf8(name)}});
  auto state = std::make_unique<NotificationState>();
  state->name = Ref(name);
  state->object = sender;
  Ref notification = Ref::adopt(newObject(objc_getClass("NSNotification"), std::move(state)));
  // Delivered synchronously, in registration order, to those registered at the time of posting.
  std::vector<Registration> receivers;
  for (const Registration& r : center(self).registrations) {
    if (matches(r, name, sender)) receivers.push_back(r);
  }
  for (const Registration& r : receivers) msgSend<void>(r.observer, r.selector, notification.get());
}

}  // namespace

void internal::registerNotificationClasses() {
  ClassBuilder("NSNotification", rootClass())
      .method("name", notificationName)
      .method("object", notificationObject)
      .register_();
  ClassBuilder("NSNotificationCenter", rootClass())
      .classMethod("defaultCenter", defaultCenter)
      .method("addObserver:selector:name:object:", addObserver)
      .method("removeObserver:", removeObserver)
      .method("postNotificationName:object:", postNotificationName)
      .register_();
}

}  // namespace ns
