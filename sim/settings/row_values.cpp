#include "row_values.h"

#include <Preferences/Preferences.h>
#include <nlohmann/json.hpp>

#include <charconv>
#include <optional>

#include "row_text.h"

namespace settings_sim {
namespace {

using json = nlohmann::ordered_json;

enum class Takes { Nothing, Position, Number, Choice, Text };

// The row types that hold a value the user changes, and what each takes; any other type takes
// nothing.
struct RowKind {
  PSCellType type;
  Takes takes;
};
constexpr RowKind kRowKinds[] = {
    {PSSwitchCell, Takes::Position},   {PSSliderCell, Takes::Number},
    {PSSegmentCell, Takes::Choice},    {PSLinkListCell, Takes::Choice},
    {PSEditTextCell, Takes::Text},     {PSSecureEditTextCell, Takes::Text},
    {PSEditTextViewCell, Takes::Text},
};

Takes takesOf(PSCellType type) {
  for (const RowKind& kind : kRowKinds) {
    if (kind.type == type) return kind.takes;
  }
  return Takes::Nothing;
}

json asJson(const Value& value) {
  return std::visit([](const auto& v) { return json(v); }, value);
}

// A bound as a message shows it: the shortest text that reads back as the same number.
std::string numberText(double number) {
  char text[32];
  auto [end, error] = std::to_chars(text, text + sizeof text, number);
  return error == std::errc() ? std::string(text, end) : std::to_string(number);
}

id written(const Value& value) {
  return std::visit(
      [](const auto& v) -> id {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) {
          return ns::boolNumber(v);
        } else if constexpr (std::is_same_v<T, int64_t>) {
          return ns::integerNumber(v);
        } else if constexpr (std::is_same_v<T, double>) {
          return ns::doubleNumber(v);
        } else {
          return ns::string(v);
        }
      },
      value);
}

id slider(id row, const std::string& name, const Value& value, std::string& problem) {
  preferences::SliderRange range = preferences::sliderRange(row);
  std::string bounds = numberText(range.minimum) + " to " + numberText(range.maximum);
  if (range.minimum > range.maximum) {
    problem = "row '" + name + "' takes no value: its min is above its max (" + bounds + ")";
    return nil;
  }
  std::optional<double> number;
  if (const auto* integer = std::get_if<int64_t>(&value)) number = static_cast<double>(*integer);
  if (const auto* decimal = std::get_if<double>(&value)) number = *decimal;
  if (!number || *number < range.minimum || *number > range.maximum) {
    problem = "row '" + name + "' takes a number from " + bounds + ", not " + asJson(value).dump();
    return nil;
  }
  return ns::doubleNumber(*number);
}

id choice(id row, const std::string& name, const Value& value, std::string& problem) {
  std::vector<preferences::RowChoice> choices = preferences::rowChoices(row);
  json given = asJson(value);
  for (const preferences::RowChoice& offered : choices) {
    json allowed = ns::toJson(offered.value.get());
    if (allowed == given ||
        (given.is_boolean() && allowed.is_number() && allowed == (given.get<bool>() ? 1 : 0))) {
      return offered.value.get();
    }
  }
  if (const auto* text = std::get_if<std::string>(&value)) {
    for (const preferences::RowChoice& offered : choices) {
      if (offered.title == *text) return offered.value.get();
    }
  }
  std::string values;
  std::string titles;
  for (const preferences::RowChoice& offered : choices) {
    values += (values.empty() ? "" : ", ") + ns::toJson(offered.value.get()).dump();
    titles += (titles.empty() ? "" : ", ") + json(offered.title).dump();
  }
  problem = "row '" + name + "' takes one of " + (values.empty() ? "nothing" : values);
  if (!titles.empty()) problem += " (titled " + titles + ")";
  problem += ", not " + given.dump();
  return nil;
}

}  // namespace

bool choicesKnownBeforeRunning(id row) {
  id properties = msgSend(row, sel("properties"));
  return ns::valueFor(properties, "valuesDataSource") == nil &&
         ns::valueFor(properties, "titlesDataSource") == nil;
}

id valueToSend(id row, const std::string& name, const Value& value, bool beforeRunning,
               std::string& problem) {
  PSCellType type = msgSend<PSCellType>(row, sel("cellType"));
  switch (takesOf(type)) {
    case Takes::Position:
      // A switch only ever sends a boolean: the position the value reads as.
      return ns::boolNumber(readsOn(written(value)));
    case Takes::Number:
      return slider(row, name, value, problem);
    case Takes::Choice:
      if (beforeRunning && !choicesKnownBeforeRunning(row)) return written(value);
      return choice(row, name, value, problem);
    case Takes::Text:
      if (std::holds_alternative<std::string>(value)) return written(value);
      problem = "row '" + name + "' takes a \"double-quoted string\", not " + asJson(value).dump();
      return nil;
    case Takes::Nothing:
      break;
  }
  std::string typeName = preferences::cellTypeName(type);
  problem = "row '" + name + "' is a " + (typeName.empty() ? "plain" : typeName) +
            " row: it takes no value";
  return nil;
}

}  // namespace settings_sim
