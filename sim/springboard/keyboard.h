// Where a typed character is touched on the home screen's keyboard (QWERTY, portrait, in points).
//
// Text is UTF-8 and each character is one touch-down. Letters are at their key, either case; an
// accented Latin letter is at its base letter's key (é at e, ß at s), where the keyboard offers
// it on a long press; a space is the space bar; digits and ASCII punctuation are on the "123"
// key's side. Any other character has no place.
#pragma once

#include <CoreGraphics/CoreGraphics.h>  // CGPoint

#include <string>

namespace springboard {

// The touch point of the character at `at` in `text`, moving `at` past it. False, with
// `problem` naming the character, when it has no place on the keyboard or is not UTF-8.
bool nextKey(const std::string& text, size_t& at, CGPoint& point, std::string& problem);

}  // namespace springboard
