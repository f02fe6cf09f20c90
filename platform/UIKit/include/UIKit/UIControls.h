// UISwitch, UISegmentedControl, UISlider and UITextField: the controls the Settings application
// puts in its rows' cells.
//
// Mirrors: UIControl (a UIView). UISwitch -isOn / -setOn: / -setOn:animated:.
// UISegmentedControl -initWithItems:, -numberOfSegments, -titleForSegmentAtIndex:,
// -selectedSegmentIndex / -setSelectedSegmentIndex:. UISlider -minimumValue /
// -setMinimumValue:, -maximumValue / -setMaximumValue:, -value / -setValue: /
// -setValue:animated:. UITextField -text / -setText:, -placeholder / -setPlaceholder:,
// -isSecureTextEntry / -setSecureTextEntry:, -keyboardType / -setKeyboardType:,
// -autocapitalizationType / -setAutocapitalizationType:, -autocorrectionType /
// -setAutocorrectionType:.
//
// Faithful: a switch starts off; a segmented control starts with no segment selected (-1,
// UISegmentedControlNoSegment), and an index outside its segments selects none; a slider starts
// at 0 within [0, 1], keeps its value within [minimumValue, maximumValue] (a value outside is
// pinned to the nearer bound; moving a bound moves the value with it); texts are copied.
// Simplified: nothing is drawn; no target-action, no events, no editing.
#pragma once

#include <UIKit/UIView.h>

constexpr NSInteger UISegmentedControlNoSegment = -1;

typedef NSInteger UIKeyboardType;
constexpr UIKeyboardType UIKeyboardTypeDefault = 0;
constexpr UIKeyboardType UIKeyboardTypeASCIICapable = 1;
constexpr UIKeyboardType UIKeyboardTypeNumbersAndPunctuation = 2;
constexpr UIKeyboardType UIKeyboardTypeURL = 3;
constexpr UIKeyboardType UIKeyboardTypeNumberPad = 4;
constexpr UIKeyboardType UIKeyboardTypePhonePad = 5;
constexpr UIKeyboardType UIKeyboardTypeEmailAddress = 7;
constexpr UIKeyboardType UIKeyboardTypeDecimalPad = 8;

typedef NSInteger UITextAutocapitalizationType;
constexpr UITextAutocapitalizationType UITextAutocapitalizationTypeNone = 0;
constexpr UITextAutocapitalizationType UITextAutocapitalizationTypeWords = 1;
constexpr UITextAutocapitalizationType UITextAutocapitalizationTypeSentences = 2;
constexpr UITextAutocapitalizationType UITextAutocapitalizationTypeAllCharacters = 3;

typedef NSInteger UITextAutocorrectionType;
constexpr UITextAutocorrectionType UITextAutocorrectionTypeDefault = 0;
constexpr UITextAutocorrectionType UITextAutocorrectionTypeNo = 1;
constexpr UITextAutocorrectionType UITextAutocorrectionTypeYes = 2;

namespace uikit {
// Registers UIControl, UISwitch, UISegmentedControl, UISlider and UITextField (idempotent; done
// when this library loads).
void registerControlClasses();
}  // namespace uikit
