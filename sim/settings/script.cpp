#include "script.h"

#include "tokens.h"

#include <Preferences/PSSpecifier.h>

#include <charconv>
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

std::optional<Set> parseSet(const std::vector<Token>& tokens, id fullList, std::string& problem) {
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
  return set;
}

std::optional<Tap> parseTap(const std::vector<Token>& tokens, id fullList, std::string& problem) {
  if (tokens.size() != 2) {
    problem = "tap takes a row: tap ROW";
    return std::nullopt;
  }
  Tap tap{{tokens[1].text, nil}};
  tap.row.row = findRow(tap.row.name, fullList, problem);
  if (tap.row.row == nil) return std::nullopt;
  return tap;
}

std::optional<Pick> parsePick(const std::vector<Token>& tokens, std::string& problem) {
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

}  // namespace

Script parseScript(const std::string& text, id fullList) {
  Script script;
  std::istringstream in(text);
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    std::string problem;
    std::optional<std::vector<Token>> tokens = tokenize(line, problem);
    if (!tokens) {
      script.problems.push_back({number, problem});
      continue;
    }
    if (tokens->empty()) continue;
    const Token& verb = tokens->front();
    if (!verb.quoted && verb.text == "show") {
      if (tokens->size() != 1) {
        script.problems.push_back({number, "show takes no arguments"});
      } else {
        script.commands.push_back({number, Show{}});
      }
    } else if (!verb.quoted && verb.text == "set") {
      if (std::optional<Set> set = parseSet(*tokens, fullList, problem)) {
        script.commands.push_back({number, std::move(*set)});
      } else {
        script.problems.push_back({number, problem});
      }
    } else if (!verb.quoted && verb.text == "tap") {
      if (std::optional<Tap> tap = parseTap(*tokens, fullList, problem)) {
        script.commands.push_back({number, std::move(*tap)});
      } else {
        script.problems.push_back({number, problem});
      }
    } else if (!verb.quoted && verb.text == "pick") {
      if (std::optional<Pick> pick = parsePick(*tokens, problem)) {
        script.commands.push_back({number, std::move(*pick)});
      } else {
        script.problems.push_back({number, problem});
      }
    } else if (!verb.quoted && verb.text == "cancel") {
      if (tokens->size() != 1) {
        script.problems.push_back({number, "cancel takes no arguments"});
      } else {
        script.commands.push_back({number, Cancel{}});
      }
    } else {
      script.problems.push_back({number, "unknown command '" + verb.text + "'"});
    }
  }
  return script;
}

}  // namespace settings_sim
