// PSTableCell: the cell that shows one row of a settings list.
//
// Mirrors: -initWithStyle:reuseIdentifier:specifier:, -specifier / -setSpecifier:,
// -refreshCellContentsWithSpecifier:, plus -style and -reuseIdentifier. Faithful: the cell keeps
// its row (retained) and its style. Simplified: nothing is drawn, and the class descends
// NSObject directly: it has no view of its own.
#pragma once

#include <Foundation/Foundation.h>

typedef NSInteger UITableViewCellStyle;
constexpr UITableViewCellStyle UITableViewCellStyleDefault = 0;
constexpr UITableViewCellStyle UITableViewCellStyleValue1 = 1;
constexpr UITableViewCellStyle UITableViewCellStyleValue2 = 2;
constexpr UITableViewCellStyle UITableViewCellStyleSubtitle = 3;

namespace preferences {
// Registers PSTableCell (idempotent; done when this library loads).
void registerTableCellClass();
}  // namespace preferences
