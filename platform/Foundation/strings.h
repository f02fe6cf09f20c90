// Text rules of NSString, shared by the Foundation stand-in's files.
#pragma once

#include <Foundation/Foundation.h>

#include <cstdarg>
#include <string>
#include <string_view>

namespace ns {

// -[NSString boolValue]: leading whitespace skipped; Y, y, T or t is YES; otherwise one
// optional sign, any zeros, then YES exactly when a digit 1-9 follows.
bool stringBoolValue(std::string_view text);

// -[NSString intValue] / integerValue: leading whitespace, one optional sign, decimal digits
// up to the first non-digit; 0 when there is none; clamped to [min, max] on overflow.
int64_t stringIntegerValue(std::string_view text, int64_t min, int64_t max);

// -[NSString doubleValue]: leading whitespace, a decimal number with an optional exponent;
// +-HUGE_VAL on overflow, 0 when there is no number.
double stringDoubleValue(std::string_view text);

// The UTF-16 code units of UTF-8 text (malformed bytes become U+FFFD).
std::u16string utf16(std::string_view utf8Text);

// -[NSString compare:options:]; NSNumericSearch compares runs of ASCII digits by value.
NSComparisonResult compareStrings(std::string_view a, std::string_view b, NSUInteger options);

// A new string object (retain count 1) of class `cls` (NSString when Nil).
id newString(Class cls, std::string_view utf8Text);

// stringWithFormat: with printf conversions and %@ (description; "(null)" for nil).
std::string formatString(const std::string& format, va_list args);

// An old-style (OpenStep) text property list; nil when the text is not one.
id openStepPlistFromText(std::string_view text);

}  // namespace ns
