// UIAlertController and UIAlertAction, as the settings pane uses them.
//
// Mirrors: +[UIAlertController alertControllerWithTitle:message:preferredStyle:], -addAction:,
// -actions, -title, -message, -preferredStyle; +[UIAlertAction actionWithTitle:style:handler:],
// -title, -style. UIAlertController is a UIViewController and is shown with
// presentViewController:animated:completion:.
//
// Faithful: the title, message, style and the actions in the order added. Simplified: nothing is
// drawn; the host closes an alert by tapping one of its actions (below). A handler (a block on
// the device) is any object that answers `invoke:`, sent with the action; nil for none.
#pragma once

#include <UIKit/UIViewController.h>

#include <string>
#include <vector>

typedef long UIAlertControllerStyle;
constexpr UIAlertControllerStyle UIAlertControllerStyleActionSheet = 0;
constexpr UIAlertControllerStyle UIAlertControllerStyleAlert = 1;

typedef long UIAlertActionStyle;
constexpr UIAlertActionStyle UIAlertActionStyleDefault = 0;
constexpr UIAlertActionStyle UIAlertActionStyleCancel = 1;
constexpr UIAlertActionStyle UIAlertActionStyleDestructive = 2;

namespace uikit {

struct AlertActionInfo {
  std::string title;
  UIAlertActionStyle style = UIAlertActionStyleDefault;
  bool handler = false;  // a handler was given
};
struct AlertInfo {
  std::string title;
  std::string message;
  UIAlertControllerStyle style = UIAlertControllerStyleAlert;
  std::vector<AlertActionInfo> actions;
};

// What an alert says; false when `object` is not a UIAlertController.
bool describeAlert(id object, AlertInfo& info);

// The host's side: the user taps action `index` of an alert that is on screen. The alert is
// dismissed, then the action's handler runs. False when the alert is not presented or has no
// such action.
bool tapAlertAction(id alert, size_t index);

}  // namespace uikit
