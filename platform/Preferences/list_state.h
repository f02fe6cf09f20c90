// What a list controller keeps, shared between the files of the Preferences stand-in.
#pragma once

#include <UIKit/UIViewController.h>

#include <map>
#include <string>
#include <vector>

namespace preferences::internal {

struct ListState : uikit::ViewControllerState {
  ns::Ref specifier;  // the row that opened the controller, when one did
  ns::Ref table;      // the UITableView the rows' cells are in, made on first use
  // Each row's cell, made when the row is first shown and kept while the controller lives.
  struct RowCell {
    ns::Ref row;
    ns::Ref cell;
  };
  std::map<id, RowCell> cells;
  // A pushed page: the controller it was pushed from (not retained: the root's stack keeps each
  // page while it is pushed); the row it was pushed for is `specifier` above.
  id parent = nil;
  // On the root: the pages pushed over it, bottom to top.
  std::vector<ns::Ref> pushed;
};

// The instance variable `_specifiers`: an owned NSMutableArray, the rows shown, or nil until the
// list is first asked for or set. Subclasses read and write it, as on the device.
id& specifiersSlot(id controller);

// The controller's state, made when it has none yet; null for nil.
ListState* listState(id controller);

// -table: the controller's UITableView.
id tableOf(id self, SEL);
// -cachedCellForSpecifier:: the row's cell, nil when none has been made.
id cachedCell(id self, SEL, id specifier);
// Refreshes the cell of a shown row with its specifier, as reloading the row does.
void refreshCell(id controller, id specifier);
// On a list page (PSListItemsController): checks the cell of the item whose value is the row's
// value and unchecks the others.
void markCurrentItem(id controller);
// What a tap on a shown row does beyond its action: a list page stores the item's value; a row
// with a detail controller pushes it. False with `problem` set when the row's detail names no
// controller class.
bool followRow(id controller, id specifier, std::string* problem);

}  // namespace preferences::internal
