#include "line_request.h"

#include <nlohmann/json.hpp>

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

bool holdsLineBreak(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos;
}

std::string withoutPlace(const std::string& problem, const std::string& name, int number) {
  std::string place = name + ":" + std::to_string(number) + ": ";
  return problem.rfind(place, 0) == 0 ? problem.substr(place.size()) : problem;
}

}  // namespace studio
