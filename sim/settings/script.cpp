#include "script.h"

#include "tokens.h"

#include <Preferences/PSSpecifier.h>

#include <charconv>
#include <cstdio>
#include <optional>
#include <sstream>

namespace settings_sim {
namespace {

using script::Token;
using script::tokenize;

std::string textOf(id value) {
  return value != nil && ns::isKindOf(value, "NSString") ? ns::utf8(value) : "";
}

// The row a name stands for: by name (label, else key) first, then by key.
id findRow(const std::string& name, id fullList, std::string& problem) {
  std::vector<id> byName;
  std::vector<id> byKey;
  for (id row : ns::elements(fullList)) {
    nlohmann::ordered_json shown = preferences::rowName(row);
    if (shown.is_string() && shown.get<std::string>() == name) byName.push_back(row);
    if (textOf(ns::valueFor(msgSend(row, sel("properties")), "key")) == name) byKey.push_back(row);
  }
  const std::vector<id>& found = byName.empty() ? byKey : byName;
  if (found.size() == 1) return found.front();
  problem = found.empty() ? "no row named '" + name + "'"
                          : "'" + name + "' names " + std::to_string(found.size()) + " rows";
  return nil;
}

// Why a row cannot take `value` from the user, or nothing when it can: a row that shows no
// control (a group header, static text, a title with its value, a button) takes nothing, and a
// row with validValues takes only one of them.
std::optional<std::string> refusal(id row, const std::string& name,
                                   const std::variant<bool, int64_t, std::string>& value) {
  PSCellType cell = msgSend<PSCellType>(row, sel("cellType"));
  if (cell == PSGroupCell || cell == PSStaticTextCell || cell == PSTitleValueCell ||
      cell == PSButtonCell) {
    return "row '" + name + "' is a " + preferences::cellTypeName(cell) + " row: it takes no value";
  }
  id valid = ns::valueFor(msgSend(row, sel("properties")), "validValues");
  if (valid == nil || !ns::isKindOf(valid, "NSArray")) return std::nullopt;
  nlohmann::ordered_json given =
      std::visit([](const auto& v) { return nlohmann::ordered_json(v); }, value);
  std::string offered;
  for (id element : ns::elements(valid)) {
    nlohmann::ordered_json allowed = ns::toJson(element);
    if (allowed == given ||
        (given.is_boolean() && allowed.is_number() && allowed == (given.get<bool>() ? 1 : 0))) {
      return std::nullopt;
    }
    offered += (offered.empty() ? "" : ", ") + allowed.dump();
  }
  return "row '" + name + "' takes one of " + (offered.empty() ? "nothing" : offered) + ", not " +
         given.dump();
}

std::optional<Action> parseSet(const std::vector<Token>& tokens, id fullList,
                               std::string& problem) {
  if (tokens.size() != 3) {
    problem = "set takes a row and a value: set ROW VALUE";
    return std::nullopt;
  }
  Set set;
  set.row.name = tokens[1].text;
  set.row.row = findRow(set.row.name, fullList, problem);
  if (set.row.row == nil) return std::nullopt;
  const Token& value = tokens[2];
  if (value.quoted) {
    set.value = value.text;
  } else if (value.text == "on") {
    set.value = true;
  } else if (value.text == "off") {
    set.value = false;
  } else {
    int64_t number = 0;
    const char* first = value.text.data();
    const char* last = first + value.text.size();
    if (first != last && *first == '+') ++first;
    auto [end, error] = std::from_chars(first, last, number);
    if (first == last || error != std::errc() || end != last) {
      problem =
          "bad value '" + value.text + "': expected on, off, an integer or a double-quoted string";
      return std::nullopt;
    }
    set.value = number;
  }
  if (std::optional<std::string> why = refusal(set.row.row, set.row.name, set.value)) {
    problem = *why;
    return std::nullopt;
  }
  return set;
}

std::optional<Action> parseTap(const std::vector<Token>& tokens, id fullList,
                               std::string& problem) {
  if (tokens.size() != 2) {
    problem = "tap takes a row: tap ROW";
    return std::nullopt;
  }
  Tap tap{{tokens[1].text, nil}};
  tap.row.row = findRow(tap.row.name, fullList, problem);
  if (tap.row.row == nil) return std::nullopt;
  return tap;
}

std::optional<Action> parsePick(const std::vector<Token>& tokens, id, std::string& problem) {
  Pick pick;
  for (size_t i = 1; i < tokens.size(); ++i) {
    const Token& word = tokens[i];
    if (!word.quoted && word.text == "--deleted") {
      pick.deleted = true;
    } else if (!word.quoted && word.text == "--no-reference-url") {
      pick.noReferenceURL = true;
    } else if (pick.item.empty() && !(word.text.rfind("--", 0) == 0 && !word.quoted)) {
      pick.item = word.text;
    } else {
      problem = "bad pick '" + word.text + "'";
      return std::nullopt;
    }
  }
  bool usage = pick.noReferenceURL ? pick.item.empty() && !pick.deleted : !pick.item.empty();
  if (!usage) {
    problem = "pick takes an item: pick ITEM, pick --deleted ITEM or pick --no-reference-url";
    return std::nullopt;
  }
  return pick;
}

std::optional<Action> parseCancel(const std::vector<Token>& tokens, id, std::string& problem) {
  if (tokens.size() != 1) {
    problem = "cancel takes no arguments";
    return std::nullopt;
  }
  return Cancel{};
}

std::optional<Action> parseShow(const std::vector<Token>& tokens, id, std::string& problem) {
  if (tokens.size() != 1) {
    problem = "show takes no arguments";
    return std::nullopt;
  }
  return Show{};
}

// The script's lines: each with its documentation and its parser, in the order `help settings`
// lists them.
struct LineKind {
  const char* verb;
  sim::LineHelp help;
  std::optional<Action> (*parse)(const std::vector<Token>& tokens, id fullList,
                                 std::string& problem);
};

const LineKind kLines[] = {
    {"show",
     {"show",
      "Prints the rows shown, in order: switches as on/off, other rows with their value, group "
      "headers as == TITLE ==, nested rows indented under their owner."},
     parseShow},
    {"set",
     {"set ROW VALUE",
      "The user changes ROW (its label, or its key where it has none; quote it when it has "
      "spaces) to VALUE: on, off, an integer, or a \"double-quoted string\". The framework calls "
      "setPreferenceValue:specifier: on the controller; a switch takes the position the value "
      "reads as. Refused when checked: a group, static-text, title-value or button row, or a "
      "value outside the row's validValues (FILE:LINE: message, exit status 2). When run: a row "
      "that is not shown stops the script, as does a value that could not be stored (exit "
      "status 1)."},
     parseSet},
    {"tap",
     {"tap ROW",
      "The user taps ROW: the table selects its cell (setSelected:YES animated:YES), the "
      "framework performs the row's action if it has one (sent to the row's target with the "
      "row), then deselects the cell. A row that is not shown stops the script (exit status 1)."},
     parseTap},
    {"pick",
     {"pick ITEM | pick --deleted ITEM | pick --no-reference-url",
      "In the picker on screen, the user picks the photo-library item ITEM (its file name, e.g. "
      "IMG_0004.MOV). With --deleted the item's asset is gone from the library by the time the "
      "cell looks it up (its file stays on disk); --no-reference-url is a pick whose info carries "
      "no reference URL. Without a picker on screen, an ITEM not in the library, or a video in a "
      "picker that offers pictures only: exit status 1."},
     parsePick},
    {"cancel",
     {"cancel", "The user cancels the picker on screen (exit status 1 when there is none)."},
     parseCancel},
};

}  // namespace

const std::vector<sim::LineHelp>& scriptLines() {
  static const std::vector<sim::LineHelp> lines = [] {
    std::vector<sim::LineHelp> out;
    for (const LineKind& kind : kLines) out.push_back(kind.help);
    return out;
  }();
  return lines;
}

bool parseLine(const std::string& line, int number, id fullList, Script& into) {
  std::string problem;
  std::optional<std::vector<Token>> tokens = tokenize(line, problem);
  if (!tokens) {
    into.problems.push_back({number, problem});
    return false;
  }
  if (tokens->empty()) return true;
  const Token& verb = tokens->front();
  const LineKind* kind = nullptr;
  for (const LineKind& candidate : kLines) {
    if (!verb.quoted && verb.text == candidate.verb) kind = &candidate;
  }
  if (kind == nullptr) {
    into.problems.push_back({number, "unknown command '" + verb.text + "'"});
  } else if (std::optional<Action> action = kind->parse(*tokens, fullList, problem)) {
    into.commands.push_back({number, std::move(*action)});
    return true;
  } else {
    into.problems.push_back({number, problem});
  }
  return false;
}

void reportProblems(const std::string& scriptName, const std::vector<Problem>& problems) {
  for (const Problem& bad : problems) {
    std::fprintf(stderr, "%s:%d: %s\n", scriptName.c_str(), bad.line, bad.message.c_str());
  }
}

Script parseScript(const std::string& text, id fullList) {
  Script script;
  std::istringstream in(text);
  int number = 0;
  for (std::string line; std::getline(in, line);) parseLine(line, ++number, fullList, script);
  return script;
}

}  // namespace settings_sim
