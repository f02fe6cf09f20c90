// What a list controller keeps, shared between the files of the Preferences stand-in.
#pragma once

#include <UIKit/UIViewController.h>

#include <map>

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
};

// The controller's state, made when it has none yet; null for nil.
ListState* listState(id controller);

// -table: the controller's UITableView.
id tableOf(id self, SEL);
// -cachedCellForSpecifier:: the row's cell, nil when none has been made.
id cachedCell(id self, SEL, id specifier);
// Refreshes the cell of a shown row with its specifier, as reloading the row does.
void refreshCell(id controller, id specifier);

}  // namespace preferences::internal
