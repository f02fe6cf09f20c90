// Well-formed UTF-8, as the platform's text APIs require it.
//
// An NSString holds Unicode text, so bytes that are not UTF-8 never become one on the device:
// the readers that take outside bytes (property lists among them) refuse them. The journal, which
// writes JSON, keeps only well-formed text too. Well-formed is RFC 3629's: shortest forms only,
// no surrogate code points, nothing past U+10FFFF.
#pragma once

#include <string>
#include <string_view>

namespace utf8 {

bool isWellFormed(std::string_view text);

// `text` with every ill-formed sequence (each maximal subpart, as Unicode recommends) replaced
// by U+FFFD; well-formed text comes back unchanged.
std::string repaired(std::string_view text);

}  // namespace utf8
