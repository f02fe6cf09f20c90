#include <Foundation/dispatch.h>
#include <UIKit/UIAlertController.h>
#include <UIKit/UIViewController.h>
#include <device/journal.h>

#include "classes.h"

namespace uikit {
namespace {

using internal::addMethod;
using internal::defineIfMissing;

void runCompletion(id completion) {
  if (completion != nil && msgSend<BOOL>(completion, sel("respondsToSelector:"), sel("invoke"))) {
    msgSend<void>(completion, sel("invoke"));
  }
}

journal::Entry presentEntry(id controller, BOOL animated, id completion) {
  journal::Entry entry;
  AlertInfo alert;
  if (!describeAlert(controller, alert)) {
    entry = {{"controller", ns::journalName(controller)}};
    if (ViewControllerState* state = viewControllerState(controller)) state->describe(entry);
  } else {
    journal::Entry actions = journal::Entry::array();
    for (const AlertActionInfo& action : alert.actions) {
      actions.push_back(
          {{"title", action.title}, {"style", action.style}, {"handler", action.handler}});
    }
    entry = {{"title", alert.title},
             {"message", alert.message},
             {"style", alert.style},
             {"actions", std::move(actions)}};
  }
  entry["animated"] = animated != NO;
  entry["completion"] = completion != nil;
  return entry;
}

id initViewController(id self, SEL) {
  id initialised = sendSuper(self, objc_getClass("UIViewController"), "init");
  viewControllerState(initialised);
  return initialised;
}

void presentViewController(id self, SEL, id controller, BOOL animated, id completion) {
  if (controller == nil) return;
  journal::record("present", presentEntry(controller, animated, completion));
  ViewControllerState* state = viewControllerState(self);
  ViewControllerState* shown = viewControllerState(controller);
  if (state == nullptr || shown == nullptr) return;
  // One at a time, and a controller already on screen cannot be shown twice.
  if (state->presented || shown->presenting != nil || controller == self) return;
  state->presented = ns::Ref(controller);
  shown->presenting = self;
  runCompletion(completion);
}

void dismissViewController(id self, SEL, BOOL animated, id completion) {
  ViewControllerState* state = viewControllerState(self);
  if (state == nullptr) return;
  id presenter = self;
  if (!state->presented && state->presenting != nil) presenter = state->presenting;
  ViewControllerState* presenterState = viewControllerState(presenter);
  if (presenterState == nullptr || !presenterState->presented) return;
  ns::Ref dismissed = presenterState->presented;
  journal::record("dismiss", {{"controller", ns::journalName(dismissed)},
                              {"animated", animated != NO},
                              {"completion", completion != nil}});
  if (ViewControllerState* gone = viewControllerState(dismissed)) gone->presenting = nil;
  presenterState->presented = ns::Ref();
  if (completion != nil) {
    ns::Ref later(completion);
    dispatch::asyncUnheld(dispatch_get_main_queue(), [later] { runCompletion(later); });
  }
}

id presentedViewController(id self, SEL) {
  ViewControllerState* state = viewControllerState(self);
  return state != nullptr ? state->presented.get() : nil;
}

id presentingViewController(id self, SEL) {
  ViewControllerState* state = viewControllerState(self);
  return state != nullptr ? state->presenting : nil;
}

// A presented controller is retained by its presenter; a presenter going away first takes its
// presented controller off screen so that no pointer back to it remains.
void deallocViewController(id self, SEL) {
  if (ViewControllerState* state = viewControllerState(self)) {
    if (ViewControllerState* shown = viewControllerState(state->presented)) {
      shown->presenting = nil;
    }
  }
  sendSuper<void>(self, objc_getClass("UIViewController"), "dealloc");
}

__attribute__((constructor)) void loadViewControllers() {
  registerViewControllerClasses();
}

}  // namespace

ViewControllerState* viewControllerState(id controller) {
  if (controller == nil) return nullptr;
  if (ns::objectState(controller) == nullptr) {
    ns::setObjectState(controller, std::make_unique<ViewControllerState>());
  }
  return ns::stateOf<ViewControllerState>(controller);
}

void registerViewControllerClasses() {
  static const bool done = [] {
    Class responder = defineIfMissing("UIResponder", ns::classNamed("NSObject"));
    Class controller = defineIfMissing("UIViewController", responder);
    addMethod(controller, "init", initViewController);
    addMethod(controller, "presentViewController:animated:completion:", presentViewController);
    addMethod(controller, "dismissViewControllerAnimated:completion:", dismissViewController);
    addMethod(controller, "presentedViewController", presentedViewController);
    addMethod(controller, "presentingViewController", presentingViewController);
    addMethod(controller, "dealloc", deallocViewController);
    return true;
  }();
  (void)done;
}

}  // namespace uikit
