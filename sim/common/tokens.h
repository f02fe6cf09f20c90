// One line of a plinka-sim script: words and double-quoted strings.
//
// Words are separated by spaces or tabs. A double-quoted string may hold spaces and `#`; inside
// it \" is a quote and \\ a backslash. A `#` that begins a word ends the line (a comment);
// inside a word it is an ordinary character.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace script {

struct Token {
  std::string text;
  bool quoted = false;
};

// The line's tokens; nothing, with `problem` set, for a line that is not well-formed UTF-8, an
// unterminated string or text stuck to the end of one.
std::optional<std::vector<Token>> tokenize(const std::string& line, std::string& problem);

}  // namespace script
