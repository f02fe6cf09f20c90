// The line requests of the studio: the body of POST /api/settings and /api/springboard, and what
// the hosts check of a line before their command's own single-line path checks it.
#pragma once

#include <optional>
#include <string>

namespace studio {

// The line of a body {"line": TEXT}; nothing, with `error`, for a body that is not JSON or not
// that shape.
std::optional<std::string> lineOfBody(const std::string& body, std::string& error);

// True when `text` holds a line break: a request is one line, refused with kOneLine.
bool holdsLineBreak(const std::string& text);
inline constexpr const char* kOneLine = "one line at a time: the text holds a line break";

// A script parser's message for line `number` of the script `name`, without its "NAME:LINE: ".
std::string withoutPlace(const std::string& problem, const std::string& name, int number);

}  // namespace studio
