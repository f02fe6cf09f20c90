// UIColor, as the product uses it.
//
// Mirrors: +colorWithRed:green:blue:alpha:, +colorWithWhite:alpha:, +colorWithCGColor:, the
// matching init methods, the named colours (black, white, gray, lightGray, darkGray, clear, red,
// green, blue, yellow, systemGray), -CGColor, -getRed:green:blue:alpha:, -getWhite:alpha:,
// -colorWithAlphaComponent:, -isEqual:, -description.
//
// Faithful: the number of components the colour's CGColor reports: 2 (grey, alpha) for
// colorWithWhite:alpha: and for black, white, gray, lightGray, darkGray and clear; 4 (red,
// green, blue, alpha) for colorWithRed:green:blue:alpha:, red, green, blue, yellow and
// systemGray (RGB 142/142/147). Components are kept as given (extended range, not clamped).
// The named colours answer one shared object each, as on the device. -CGColor belongs to the
// colour and lives as long as it does. Simplified: no dynamic (light/dark) colours; systemGray
// is its light-appearance value.
#pragma once

#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/Foundation.h>
