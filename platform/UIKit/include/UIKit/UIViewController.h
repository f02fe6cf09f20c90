// UIResponder and UIViewController, as the settings host's controllers use them.
//
// Mirrors: -[UIViewController presentViewController:animated:completion:],
// -dismissViewControllerAnimated:completion:, -presentedViewController and
// -presentingViewController. The classes descend NSObject <- UIResponder <- UIViewController, as
// in UIKit; a host that built UIResponder or UIViewController itself before this library loaded
// keeps its classes, and the methods below are added to them.
//
// Faithful: a controller presents one controller at a time; presenting while something is
// already presented leaves the screen as it is (UIKit only logs a warning). Dismissing, sent to
// the presenter or to the presented controller, takes the presented controller off screen.
// Simplified: nothing is drawn and animation is instant. A presentation's completion runs before
// the call returns; a dismissal's runs after the dismissal, later on the main queue, as on the
// device. A completion (a block on the device) is any object that answers `invoke`; nil for
// none.
//
// Journal: presenting records "present"; for an alert {title, message, style, actions: [{title,
// style, handler}]} with the platform's style numbers (handler: whether the action has one), for
// any other controller {controller} and what the controller adds (a picker: sourceType,
// mediaTypes); both with {animated, completion} (whether one was given). Dismissing records
// "dismiss" {controller, animated, completion}.
#pragma once

#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/ObjectState.h>

namespace uikit {

// For stand-ins: the state every view controller carries in its state slot. Subclasses of the
// platform (PSListController, UIAlertController) extend it.
struct ViewControllerState : ns::ObjectState {
  ns::Ref presented;    // the controller shown modally over this one
  id presenting = nil;  // the controller that presented this one; not retained
  // Adds what a "present" entry says about this controller beyond its name.
  virtual void describe(nlohmann::ordered_json&) const {}
};

// The state of a view controller, made when the object has none yet; null for nil or for an
// object whose state slot holds something else.
ViewControllerState* viewControllerState(id controller);

// Registers UIResponder and UIViewController (idempotent; done when this library loads).
void registerViewControllerClasses();

}  // namespace uikit
