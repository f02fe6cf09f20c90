// The framework's own cells for the row types that show a control, and what they read from a
// row.
//
// Classes, by the row's cell type (a row's own `cellClass` comes before them):
//   PSSwitchCell                          PSSwitchTableCell   (a PSControlTableCell; its control,
//                                                              a UISwitch, is the accessory view)
//   PSSegmentCell                         PSSegmentTableCell  (control: a UISegmentedControl)
//   PSSliderCell                          PSSliderTableCell   (control: a UISlider)
//   PSEditTextCell, PSSecureEditTextCell  PSEditableTableCell (-textField: a UITextField)
//   every other type                      PSTableCell
// Mirrors: PSControlTableCell -control / -setControl:, PSEditableTableCell -textField.
//
// Faithful: each refresh (refreshCellContentsWithSpecifier:) sets the control from the row's
// value (read with performGetter) after the base has set the title: a switch is on when the value
// reads on; a segmented control has one segment per choice (PSSpecifier.h rowChoices: the titles
// of validValues/validTitles or of the data sources) and selects the one whose value is equal to
// the row's, none when no value is; a slider spans [min, max] (attributes `min`, `max`, default
// 0 and 1) and stands at the value (pinned to the bounds, as UISlider pins it); with `showValue`
// the value is also shown, as text, in the cell's valueLabel. A text field shows the value's
// description, else the row's `placeholder`; a PSSecureEditTextCell row's field is secure; the
// keyboard attributes are kept on the field: `isURL`, `isEmail`, `isNumeric`, `isDecimalPad`,
// `keyboard` ("numbers", "phone") give its keyboardType, `autoCaps` ("none", "words",
// "sentences", "all") its autocapitalizationType, `autoCorrection` (a boolean) its
// autocorrectionType. Control cells cannot be selected (selection style none).
// Simplified: nothing is laid out; controls send no actions (the host changes values through
// the framework, PSListController.h userChangesValue).
#pragma once

#include <Preferences/PSSpecifier.h>

#include <string>

namespace preferences {

// A slider row's attributes: `min` and `max` (numbers, default 0 and 1), `isSegmented` and
// `segmentCount`.
struct SliderRange {
  double minimum = 0;
  double maximum = 1;
  bool segmented = false;
  int segments = 0;
};
SliderRange sliderRange(id row);

// The value a slider row stores when the user moves it to `requested`: pinned to [min, max]
// (a max below min counts as min) and, on a segmented slider with a positive segmentCount,
// moved to the nearest of its segmentCount + 1 stops.
double sliderValueFor(id row, double requested);

// A slider's value as showValue shows it: at most two decimals, no trailing zeros ("0.8", "5").
std::string sliderValueText(double value);

// The framework's cell class for a row type, as the table above lists it.
Class frameworkCellClass(PSCellType type);

// Registers the classes above (idempotent; done when this library loads).
void registerFrameworkCellClasses();

}  // namespace preferences
