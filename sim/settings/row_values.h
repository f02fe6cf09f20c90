// What a settings row takes from the user, by the row's type: the value its control sends for
// what the user asked, or why the row refuses it. The script is checked with it before anything
// runs, and each `set` line is checked with it again when it runs, on the row it then names.
//
//   PSSwitchCell                          the position the value reads as (on, off, 1, 0)
//   PSSliderCell                          a number within [min, max] (bounds included)
//   PSSegmentCell, PSLinkListCell         one of the row's values, else one of its titles (the
//                                         value that the title stands for): a value matches first
//   PSEditTextCell, PSSecureEditTextCell,
//   PSEditTextViewCell                    a string
//   every other type                      nothing: refused, naming the row's type
#pragma once

#include <Foundation/Foundation.h>

#include <cstdint>
#include <string>
#include <variant>

namespace settings_sim {

// A value as a script writes it: on/off, an integer, a decimal, or a double-quoted string.
using Value = std::variant<bool, int64_t, double, std::string>;

// Where the row's choices come from: a segment or list row with a data source offers what its
// target answers, known only when the line runs.
bool choicesKnownBeforeRunning(id row);

// The value the row's control sends when the user sets row `name` to `value` (autoreleased; for a
// choice, the choice's own value object), or nil with `problem` set. With `beforeRunning`, a row
// whose choices come from a data source is not asked (none of the pane's code runs): its value
// is answered as written, to be checked again when the line runs. Asking a data source may raise,
// as on the device.
id valueToSend(id row, const std::string& name, const Value& value, bool beforeRunning,
               std::string& problem);

}  // namespace settings_sim
