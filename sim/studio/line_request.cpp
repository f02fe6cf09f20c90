#include "line_request.h"

#include <nlohmann/json.hpp>

#include <sstream>

namespace studio {

std::optional<std::string> lineOfBody(const std::string& body, std::string& error) {
  nlohmann::json parsed = nlohmann::json::parse(body, nullptr, false);
  if (parsed.is_discarded()) {
    error = "the body is not JSON";
    return std::nullopt;
  }
  if (!parsed.is_object() || !parsed.contains("line") || !parsed["line"].is_string()) {
    error = "the body is {\"line\": TEXT}";
    return std::nullopt;
  }
  return parsed["line"].get<std::string>();
}

// The parser is given the lines that shape what it knows (the classes left out of this process,
// the launch, the classes to leave out at the next) before the line.
std::optional<springboard::Command> checkScenarioLine(const std::string& line,
                                                      const std::set<std::string>& leftOutNow,
                                                      const std::set<std::string>& leftOutNext,
                                                      std::string& error) {
  std::string context;
  for (const std::string& name : leftOutNow) context += "without " + name + "\n";
  context += "launch\n";
  for (const std::string& name : leftOutNext) context += "without " + name + "\n";
  if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos) {
    error = "one line at a time: the text holds a line break";
    return std::nullopt;
  }
  std::istringstream in(context + line + "\n");
  std::optional<springboard::Scenario> parsed = springboard::parseScenario(in, "line", error);
  if (!parsed) {
    // "line:N: message" -> "message"
    size_t colon = error.find(": ");
    if (colon != std::string::npos) error.erase(0, colon + 2);
    return std::nullopt;
  }
  size_t before = leftOutNow.size() + 1 + leftOutNext.size();
  if (parsed->commands.size() <= before) return springboard::Command{};  // blank or comment
  return parsed->commands.back();
}

}  // namespace studio
