// PSTableCell: the cell that shows one row of a settings list.
//
// Mirrors: -initWithStyle:reuseIdentifier:specifier:, -specifier / -setSpecifier:,
// -refreshCellContentsWithSpecifier:, -valueLabel, -isChecked / -setChecked:, and
// -setSelected:animated: from its base. PSTableCell
// derives from UITableViewCell, as on the device, so it is a view with the cell's labels, image
// view and accessory.
//
// Faithful: the cell keeps its row (retained, in the instance variable `_specifier`).
// refreshCellContentsWithSpecifier: replaces the row, shows its name on the text label and, for
// rows that lead somewhere (PSLinkCell, PSLinkListCell), sets the disclosure accessory (type 1)
// and the default selection style (3), as the Settings application shows such rows; a subclass
// that wants another look sets it again after the base has run. The value label (a UILabel in
// the content view) shows, for a PSLinkListCell row, the title of its current value among its
// choices (PSSpecifier.h titleOfValue; nothing when the value is none of them) and, for a
// PSTitleValueCell row, the value's description; for other rows it is empty (a slider cell puts
// its value there with showValue). setChecked: sets the checkmark accessory (type 3) or none.
// Simplified: the value label is only kept, not laid out beside the title.
//
// Journal: "select" {row, selected, animated} for every setSelected:animated: the cell
// receives, with the row named as preferences::rowName names it.
#pragma once

#include <UIKit/UITableViewCell.h>

namespace preferences {
// Registers PSTableCell (idempotent; done when this library loads).
void registerTableCellClass();
}  // namespace preferences
