#include "help.h"

#include <cctype>
#include <cstdio>
#include <sstream>

namespace sim {
namespace {

constexpr size_t kWidth = 78;

std::string wrapped(const std::string& text, const std::string& indent) {
  std::istringstream words(text);
  std::string out;
  std::string line;
  for (std::string word; words >> word;) {
    if (!line.empty() && indent.size() + line.size() + 1 + word.size() > kWidth) {
      out += indent + line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  if (!line.empty()) out += indent + line + "\n";
  return out;
}

bool isDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}
bool isAlpha(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

std::string describeLines(const std::vector<LineHelp>& lines) {
  std::string out;
  for (const LineHelp& line : lines) {
    out += "  " + std::string(line.synopsis) + "\n";
    out += wrapped(line.what, "      ");
  }
  return out;
}

int argumentError(const char* command, const std::string& message) {
  std::fprintf(stderr, "plinka-sim %s: %s (see: plinka-sim help %s)\n", command, message.c_str(),
               command);
  return 2;
}

int runtimeError(const char* command, const std::string& message, int status) {
  std::fprintf(stderr, "plinka-sim %s: %s\n", command, message.c_str());
  return status;
}

bool isSystemVersion(const std::string& text) {
  size_t i = 0;
  for (;;) {
    size_t start = i;
    while (i < text.size() && isDigit(text[i])) ++i;
    if (i == start || i - start > 9) return false;
    if (i < text.size() && text[i] == '.') {
      ++i;
      continue;
    }
    break;
  }
  if (i == text.size()) return true;
  if (!isAlpha(text[i])) return false;
  for (; i < text.size(); ++i) {
    if (!isAlpha(text[i]) && !isDigit(text[i])) return false;
  }
  return true;
}

}  // namespace sim
