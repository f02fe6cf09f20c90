// PSTableCell: the cell that shows one row of a settings list.
//
// Mirrors: -initWithStyle:reuseIdentifier:specifier:, -specifier / -setSpecifier:,
// -refreshCellContentsWithSpecifier:, and -setSelected:animated: from its base. PSTableCell
// derives from UITableViewCell, as on the device, so it is a view with the cell's labels, image
// view and accessory.
//
// Faithful: the cell keeps its row (retained, in the instance variable `_specifier`).
// refreshCellContentsWithSpecifier: replaces the row, shows its name on the text label and, for
// rows that lead somewhere (PSLinkCell, PSLinkListCell), sets the disclosure accessory (type 1)
// and the default selection style (3), as the Settings application shows such rows; a subclass
// that wants another look sets it again after the base has run.
// Simplified: no value is shown beside the title; switch and slider rows get no control.
//
// Journal: "select" {row, selected, animated} for every setSelected:animated: the cell
// receives, with the row named as preferences::rowName names it.
#pragma once

#include <UIKit/UITableViewCell.h>

namespace preferences {
// Registers PSTableCell (idempotent; done when this library loads).
void registerTableCellClass();
}  // namespace preferences
