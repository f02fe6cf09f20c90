#include "tokens.h"

#include <device/utf8.h>

namespace script {
namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

}  // namespace

std::optional<std::vector<Token>> tokenize(const std::string& line, std::string& problem) {
  // Settings keys, sound names and typed text become strings of the platform, which hold text.
  if (!utf8::isWellFormed(line)) {
    problem = "the line is not UTF-8 text";
    return std::nullopt;
  }
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (isBlank(c)) {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      Token token{"", true};
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char d = line[i++];
        if (d == '"') {
          closed = true;
          break;
        }
        if (d == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) d = line[i++];
        token.text += d;
      }
      if (!closed) {
        problem = "unterminated string";
        return std::nullopt;
      }
      if (i < line.size() && !isBlank(line[i])) {
        problem = "unexpected text after a quoted string";
        return std::nullopt;
      }
      tokens.push_back(std::move(token));
    } else {
      Token token;
      while (i < line.size() && !isBlank(line[i])) token.text += line[i++];
      tokens.push_back(std::move(token));
    }
  }
  return tokens;
}

}  // namespace script
