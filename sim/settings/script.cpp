#include "script.h"

#include "disk_faults.h"
#include "options.h"
#include "tokens.h"

#include <Preferences/PSSpecifier.h>

#include <charconv>
#include <cmath>
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

// A tap on the pane's row `row` pushes a page: a list row's, or the controller its `detail`
// names, unless the row has an action (which is performed instead).
bool pushesPage(id row) {
  id properties = msgSend(row, sel("properties"));
  if (!textOf(ns::valueFor(properties, "action")).empty()) return false;
  return msgSend<PSCellType>(row, sel("cellType")) == PSLinkListCell ||
         !textOf(ns::valueFor(properties, "detail")).empty();
}
bool pushesListPage(id row) {
  std::string detail = textOf(ns::valueFor(msgSend(row, sel("properties")), "detail"));
  return msgSend<PSCellType>(row, sel("cellType")) == PSLinkListCell &&
         (detail.empty() || detail == "PSListItemsController");
}

// On or off, a number, or a quoted string; nothing, with `problem` set, for anything else.
std::optional<Value> valueOf(const Token& value, std::string& problem) {
  if (value.quoted) return value.text;
  if (value.text == "on") return true;
  if (value.text == "off") return false;
  const char* first = value.text.data();
  const char* last = first + value.text.size();
  if (first != last && *first == '+') ++first;
  int64_t integer = 0;
  if (auto [end, error] = std::from_chars(first, last, integer);
      first != last && error == std::errc() && end == last) {
    return integer;
  }
  double decimal = 0;
  if (auto [end, error] = std::from_chars(first, last, decimal, std::chars_format::fixed);
      first != last && error == std::errc() && end == last && std::isfinite(decimal)) {
    return decimal;
  }
  problem = "bad value '" + value.text + "': expected on, off, a number or a double-quoted string";
  return std::nullopt;
}

// A row named on the page the line will run on: found in the pane's full list now, or left to
// be found when the line runs when a page is pushed.
bool nameRow(const std::string& name, const RowIndex& rows, const Pages& pages, RowRef& ref,
             std::string& problem) {
  ref.name = name;
  if (!pages.known || pages.pushed > 0) return true;
  ref.row = rows.find(name, problem);
  return ref.row != nil;
}

std::optional<Action> parseSet(const std::vector<Token>& tokens, const RowIndex& rows, Pages& pages,
                               std::string& problem) {
  if (tokens.size() != 3) {
    problem = "set takes a row and a value: set ROW VALUE";
    return std::nullopt;
  }
  Set set;
  if (!nameRow(tokens[1].text, rows, pages, set.row, problem)) return std::nullopt;
  std::optional<Value> value = valueOf(tokens[2], problem);
  if (!value) return std::nullopt;
  set.value = *value;
  if (set.row.row != nil &&
      valueToSend(set.row.row, set.row.name, set.value, true, problem) == nil) {
    return std::nullopt;
  }
  return set;
}

std::optional<Action> parseTap(const std::vector<Token>& tokens, const RowIndex& rows, Pages& pages,
                               std::string& problem) {
  if (tokens.size() != 2) {
    problem = "tap takes a row: tap ROW";
    return std::nullopt;
  }
  Tap tap;
  if (!nameRow(tokens[1].text, rows, pages, tap.row, problem)) return std::nullopt;
  if (tap.row.row != nil) {
    if (pushesPage(tap.row.row)) pages = {1, pushesListPage(tap.row.row), true};
  } else if (!pages.topIsList) {
    pages.known = false;  // a row of a pushed page may push another
  }
  return tap;
}

std::optional<Action> parseBack(const std::vector<Token>& tokens, const RowIndex&, Pages& pages,
                                std::string& problem) {
  if (tokens.size() != 1) {
    problem = "back takes no arguments";
    return std::nullopt;
  }
  if (pages.known) {
    if (pages.pushed == 0) {
      problem = "back: no page is pushed over the pane";
      return std::nullopt;
    }
    pages = {pages.pushed - 1, false, true};
  }
  return Back{};
}

std::optional<Action> parsePick(const std::vector<Token>& tokens, const RowIndex&, Pages&,
                                std::string& problem) {
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

std::optional<Action> parseCancel(const std::vector<Token>& tokens, const RowIndex&, Pages&,
                                  std::string& problem) {
  if (tokens.size() != 1) {
    problem = "cancel takes no arguments";
    return std::nullopt;
  }
  return Cancel{};
}

std::optional<Action> parseShow(const std::vector<Token>& tokens, const RowIndex&, Pages&,
                                std::string& problem) {
  if (tokens.size() != 1) {
    problem = "show takes no arguments";
    return std::nullopt;
  }
  return Show{};
}

std::optional<Action> parseSnapshot(const std::vector<Token>& tokens, const RowIndex&, Pages&,
                                    std::string& problem) {
  if (tokens.size() != 2) {
    problem = "snapshot takes a file: snapshot FILE";
    return std::nullopt;
  }
  if (!sim::checkOutput(tokens[1].text, problem)) return std::nullopt;
  return Snapshot{tokens[1].text};
}

// A line of one word.
template <typename Line>
std::optional<Action> parseWord(const std::vector<Token>& tokens, const RowIndex&, Pages&,
                                std::string& problem) {
  if (tokens.size() != 1) {
    problem = tokens.front().text + " takes no arguments";
    return std::nullopt;
  }
  return Line{};
}

std::optional<Action> parseRun(const std::vector<Token>& tokens, const RowIndex&, Pages&,
                               std::string& problem) {
  if (tokens.size() == 2 && !tokens[1].quoted && tokens[1].text == "all") return RunHeld{};
  uint64_t number = 0;
  if (tokens.size() == 2 && !tokens[1].quoted) {
    const std::string& text = tokens[1].text;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (!text.empty() && error == std::errc() && end == text.data() + text.size() && number > 0) {
      return RunHeld{number};
    }
  }
  problem = "run takes the number of a waiting item, or all: run N | run all";
  return std::nullopt;
}

std::optional<Action> parseFault(const std::vector<Token>& tokens, const RowIndex&, Pages&,
                                 std::string& problem) {
  Fault fault;
  for (size_t i = 1; i < tokens.size(); ++i) fault.words.push_back(tokens[i].text);
  if (!sim::parseDiskFault(fault.words, 0, problem)) return std::nullopt;
  return fault;
}

// The script's lines: each with its documentation and its parser, in the order `help settings`
// lists them.
struct LineKind {
  const char* verb;
  sim::LineHelp help;
  std::optional<Action> (*parse)(const std::vector<Token>& tokens, const RowIndex& rows,
                                 Pages& pages, std::string& problem);
};

const LineKind kLines[] = {
    {"show",
     {"show",
      "Prints the page on top, headed by its path (Plinka › Charge sound): the rows shown, in "
      "order, with their cells' classes; switches as on/off, other rows with their value, group "
      "headers as == TITLE ==, nested rows indented under their owner, a list page's current "
      "choice with a checkmark."},
     parseShow},
    {"set",
     {"set ROW VALUE",
      "The user changes ROW of the page on top (its label, or its key where it has none; quote "
      "it when it has spaces) to VALUE: on, off, a number, or a \"double-quoted string\". The "
      "framework calls setPreferenceValue:specifier: with what the row's control sends: a switch "
      "the position the value reads as (on, off, 1, 0); a slider a number within its min and "
      "max (bounds included; snapped to its steps when isSegmented); a segment or list row one "
      "of its values, or the value of one of its titles (a value matches first); a text row the "
      "string. Refused when checked (FILE:LINE: message, exit status 2): a row that holds no "
      "value (a group, static-text, title-value, link or button row), or a value the row does "
      "not take. Checked only when the line runs (exit status 1): the values a data source "
      "answers, the rows of a pushed page; a row that is not shown, or a value that could not "
      "be stored, also stops the script there (exit status 1)."},
     parseSet},
    {"tap",
     {"tap ROW",
      "The user taps ROW of the page on top: the table selects its cell (setSelected:YES "
      "animated:YES), the framework performs the row's action if it has one (sent to the row's "
      "target with the row); without one, a list row pushes its page of choices "
      "(PSListItemsController) and a row with a detail pushes that controller; then the cell is "
      "deselected. On a list page, tapping a choice (by its title) stores its value and moves "
      "the checkmark. A row that is not shown, or a detail that is no list controller, stops "
      "the script (exit status 1)."},
     parseTap},
    {"back",
     {"back",
      "The user taps the back button: the page on top is popped and the page below shows "
      "again, a list row with the value chosen. On the pane itself, with no page pushed: "
      "refused (exit status 2 when checked, 1 when it runs)."},
     parseBack},
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
    {"snapshot",
     {"snapshot FILE",
      "Draws what is on the screen now into FILE (PNG), as --png draws it: the page on top (the "
      "pane, or the page pushed over it), whole however long; an alert left on screen over the "
      "dimmed page; or the photo picker, a sheet over the dimmed page showing the device's photo "
      "library as square thumbnails, four to a row, oldest first, videos (when the picker offers "
      "them) with their length. Prints snapshot FILE: what it shows, and the picture's size. "
      "The user does nothing: an alert stays up. A FILE that cannot be written is refused when "
      "checked (its folder missing or not writable)."},
     parseSnapshot},
    {"hold",
     {"hold",
      "From here on, the platform's later work (photo-library handlers, an export and its "
      "completion, main-queue blocks they schedule) waits instead of running after the line. "
      "Presenting and dismissing the picker, with the dismissal's completion, are not held, so "
      "the user can tap and pick again while earlier work waits. A script that ends while work "
      "waits runs nothing more and says how many items were left (exit status 0)."},
     parseWord<Hold>},
    {"pending",
     {"pending",
      "Prints the waiting work, one numbered line each: number, what it is and which library "
      "item it concerns, the row whose line caused it, and its queue (with --json, one "
      "\"pending\" entry {number, what, row, queue} each)."},
     parseWord<Pending>},
    {"run",
     {"run N | run all",
      "Runs waiting item N to completion on its own queue's thread; work it schedules waits "
      "after the rest. Work on the global (background) queues and separate exports may run in "
      "any order; work on the main queue or on one serial queue only in its order (exit status "
      "1, naming the item that must run first). run all runs everything waiting, oldest first, "
      "until nothing waits. Without a hold in force: refused when checked (exit status 2); an N "
      "that is not waiting: exit status 1."},
     parseRun},
    {"release",
     {"release", "Runs all waiting work (as run all) and stops holding."},
     parseWord<Release>},
    {"fault",
     {"fault disk full | fault rename fails | fault remove fails | fault disk ok",
      "From here on, every write under the device root fails with \"no space left on device\" "
      "(disk full), every rename and replacement of a file fails (rename fails), every removal "
      "fails (remove fails); disk ok clears them all. Any other fault: refused when checked (exit "
      "status 2)."},
     parseFault},
};

}  // namespace

RowIndex::RowIndex(id rows) {
  for (id row : ns::elements(rows)) {
    nlohmann::ordered_json shown = preferences::rowName(row);
    if (shown.is_string()) byName_[shown.get<std::string>()].push_back(row);
    std::string key = textOf(ns::valueFor(msgSend(row, sel("properties")), "key"));
    if (!key.empty()) byKey_[key].push_back(row);
  }
}

id RowIndex::find(const std::string& name, std::string& problem) const {
  auto named = byName_.find(name);
  auto keyed = byKey_.find(name);
  const std::vector<id>* found = named != byName_.end()  ? &named->second
                                 : keyed != byKey_.end() ? &keyed->second
                                                         : nullptr;
  if (found != nullptr && found->size() == 1) return found->front();
  problem = found == nullptr ? "no row named '" + name + "'"
                             : "'" + name + "' names " + std::to_string(found->size()) + " rows";
  return nil;
}

id findRow(const std::string& name, id rows, std::string& problem) {
  return RowIndex(rows).find(name, problem);
}

const std::vector<sim::LineHelp>& scriptLines() {
  static const std::vector<sim::LineHelp> lines = [] {
    std::vector<sim::LineHelp> out;
    for (const LineKind& kind : kLines) out.push_back(kind.help);
    return out;
  }();
  return lines;
}

bool parseLine(const std::string& line, int number, const RowIndex& rows, Script& into) {
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
  } else if (std::optional<Action> action = kind->parse(*tokens, rows, into.pages, problem)) {
    if (std::holds_alternative<RunHeld>(*action) && !into.holding) {
      into.problems.push_back({number, "run needs held work: add a 'hold' line first"});
      return false;
    }
    if (std::holds_alternative<Hold>(*action)) into.holding = true;
    if (std::holds_alternative<Release>(*action)) into.holding = false;
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
  RowIndex rows(fullList);
  for (std::string line; std::getline(in, line);) parseLine(line, ++number, rows, script);
  return script;
}

}  // namespace settings_sim
