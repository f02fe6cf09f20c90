#include <UIKit/UIAlertController.h>

namespace uikit {
namespace {

struct AlertState : ViewControllerState {
  ns::Ref title;
  ns::Ref message;
  UIAlertControllerStyle style = UIAlertControllerStyleAlert;
  std::vector<ns::Ref> actions;
};

struct ActionState : ns::ObjectState {
  ns::Ref title;
  UIAlertActionStyle style = UIAlertActionStyleDefault;
  ns::Ref handler;
};

Class alertClass() {
  return objc_getClass("UIAlertController");
}

ns::Ref copied(id value) {
  return value == nil ? ns::Ref() : ns::Ref::adopt(msgSend(value, sel("copy")));
}

// --- UIAlertAction -----------------------------------------------------------------------

id actionWithTitle(id self, SEL, id title, UIAlertActionStyle style, id handler) {
  auto state = std::make_unique<ActionState>();
  state->title = copied(title);
  state->style = style;
  state->handler = ns::Ref(handler);
  return ns::autorelease(ns::newObject(reinterpret_cast<Class>(self), std::move(state)));
}
id actionTitle(id self, SEL) {
  ActionState* state = ns::stateOf<ActionState>(self);
  return state != nullptr ? state->title.get() : nil;
}
UIAlertActionStyle actionStyle(id self, SEL) {
  ActionState* state = ns::stateOf<ActionState>(self);
  return state != nullptr ? state->style : UIAlertActionStyleDefault;
}

// --- UIAlertController -------------------------------------------------------------------

id alertWithTitle(id self, SEL, id title, id message, UIAlertControllerStyle style) {
  auto state = std::make_unique<AlertState>();
  state->title = copied(title);
  state->message = copied(message);
  state->style = style;
  return ns::autorelease(ns::newObject(reinterpret_cast<Class>(self), std::move(state)));
}
AlertState* alertState(id self) {
  return ns::stateOf<AlertState>(self);
}
id alertTitle(id self, SEL) {
  return alertState(self) != nullptr ? alertState(self)->title.get() : nil;
}
id alertMessage(id self, SEL) {
  return alertState(self) != nullptr ? alertState(self)->message.get() : nil;
}
UIAlertControllerStyle alertStyle(id self, SEL) {
  return alertState(self) != nullptr ? alertState(self)->style : UIAlertControllerStyleAlert;
}
void addAction(id self, SEL, id action) {
  if (alertState(self) == nullptr || ns::stateOf<ActionState>(action) == nullptr) return;
  alertState(self)->actions.emplace_back(action);
}
id alertActions(id self, SEL) {
  std::vector<id> all;
  if (alertState(self) != nullptr) {
    for (const ns::Ref& action : alertState(self)->actions) all.push_back(action.get());
  }
  return ns::array(all);
}

__attribute__((constructor)) void registerAlertClasses() {
  registerViewControllerClasses();
  ClassBuilder("UIAlertAction", ns::classNamed("NSObject"))
      .classMethod("actionWithTitle:style:handler:", actionWithTitle)
      .method("title", actionTitle)
      .method("style", actionStyle)
      .register_();
  ClassBuilder("UIAlertController", objc_getClass("UIViewController"))
      .classMethod("alertControllerWithTitle:message:preferredStyle:", alertWithTitle)
      .method("title", alertTitle)
      .method("message", alertMessage)
      .method("preferredStyle", alertStyle)
      .method("addAction:", addAction)
      .method("actions", alertActions)
      .register_();
}

}  // namespace

bool describeAlert(id object, AlertInfo& info) {
  AlertState* state = object != nil && alertClass() != Nil &&
                              msgSend<BOOL>(object, sel("isKindOfClass:"), alertClass())
                          ? alertState(object)
                          : nullptr;
  if (state == nullptr) return false;
  info.title = ns::utf8(state->title);
  info.message = ns::utf8(state->message);
  info.style = state->style;
  info.actions.clear();
  for (const ns::Ref& action : state->actions) {
    ActionState* a = ns::stateOf<ActionState>(action);
    info.actions.push_back({ns::utf8(a->title), a->style, a->handler.get() != nil});
  }
  return true;
}

bool tapAlertAction(id alert, size_t index) {
  AlertState* state = alertState(alert);
  if (state == nullptr || state->presenting == nil || index >= state->actions.size()) {
    return false;
  }
  ns::Ref action = state->actions[index];
  ns::Ref keep(alert);
  msgSend<void>(alert, sel("dismissViewControllerAnimated:completion:"), YES, id{nil});
  id handler = ns::stateOf<ActionState>(action)->handler;
  if (handler != nil && msgSend<BOOL>(handler, sel("respondsToSelector:"), sel("invoke:"))) {
    msgSend<void>(handler, sel("invoke:"), action.get());
  }
  return true;
}

}  // namespace uikit
