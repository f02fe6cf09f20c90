// UITableViewCell and UITableView, as the Settings application and the product's cells use them.
//
// Mirrors: UITableViewCell -initWithStyle:reuseIdentifier:, -initWithFrame: (the default style),
// -reuseIdentifier, -contentView, -textLabel, -detailTextLabel, -imageView, -accessoryView /
// -setAccessoryView:, -accessoryType / -setAccessoryType:, -selectionStyle /
// -setSelectionStyle:, -setSelected:animated:, -setSelected:, -isSelected, and -style (the style
// it was made with). UITableView -initWithFrame:style:, -style. Both are UIViews.
//
// Faithful: textLabel and imageView exist in every style; detailTextLabel is nil in the default
// style (0) and exists in the other three. The labels are in the cell's contentView. Initial
// values: accessoryType 0 (none), selectionStyle 3 (default), no accessory view, not selected.
// An accessory view, when set, is shown instead of the accessory type; setting one does not make
// it a subview of the cell. setSelected:animated: keeps the flag.
// Simplified: nothing is drawn, laid out or animated; the table does not reuse cells or ask a
// data source: the host adds cells to it as subviews.
#pragma once

#include <UIKit/UIView.h>

typedef NSInteger UITableViewCellStyle;
constexpr UITableViewCellStyle UITableViewCellStyleDefault = 0;
constexpr UITableViewCellStyle UITableViewCellStyleValue1 = 1;
constexpr UITableViewCellStyle UITableViewCellStyleValue2 = 2;
constexpr UITableViewCellStyle UITableViewCellStyleSubtitle = 3;

typedef NSInteger UITableViewCellSelectionStyle;
constexpr UITableViewCellSelectionStyle UITableViewCellSelectionStyleNone = 0;
constexpr UITableViewCellSelectionStyle UITableViewCellSelectionStyleBlue = 1;
constexpr UITableViewCellSelectionStyle UITableViewCellSelectionStyleGray = 2;
constexpr UITableViewCellSelectionStyle UITableViewCellSelectionStyleDefault = 3;

typedef NSInteger UITableViewCellAccessoryType;
constexpr UITableViewCellAccessoryType UITableViewCellAccessoryNone = 0;
constexpr UITableViewCellAccessoryType UITableViewCellAccessoryDisclosureIndicator = 1;
constexpr UITableViewCellAccessoryType UITableViewCellAccessoryDetailDisclosureButton = 2;
constexpr UITableViewCellAccessoryType UITableViewCellAccessoryCheckmark = 3;
constexpr UITableViewCellAccessoryType UITableViewCellAccessoryDetailButton = 4;

typedef NSInteger UITableViewStyle;
constexpr UITableViewStyle UITableViewStylePlain = 0;
constexpr UITableViewStyle UITableViewStyleGrouped = 1;

namespace uikit {

// For stand-ins: what a cell keeps, beside what every view keeps.
struct TableViewCellState : ViewState {
  UITableViewCellStyle style = UITableViewCellStyleDefault;
  ns::Ref reuseIdentifier;
  ns::Ref contentView;
  ns::Ref textLabel;
  ns::Ref detailTextLabel;  // none in the default style
  ns::Ref imageView;
  ns::Ref accessoryView;
  UITableViewCellAccessoryType accessoryType = UITableViewCellAccessoryNone;
  UITableViewCellSelectionStyle selectionStyle = UITableViewCellSelectionStyleDefault;
  bool selected = false;
};

// Registers UITableViewCell and UITableView (idempotent; done when this library loads).
void registerTableViewClasses();

}  // namespace uikit
