// The script language of `plinka-sim settings`: what the user does on the settings screen.
// Its lines, each documented beside its parser, are in one table in script.cpp; scriptLines()
// answers their documentation.
//
// ROW is a row's name on the page on top: its label, or its key where it has no label (a row
// with neither cannot be named); a key also names its row when no row has that label. Quote it
// ("...") when it has spaces. VALUE is `on`, `off`, a number (an integer or a decimal), or a
// double-quoted string (\" and \\ inside); what each row type takes is in row_values.h.
// `#` starts a comment outside quotes; blank lines are ignored.
//
// The check follows the pages the script opens: a `tap` on a row of the pane that pushes a page
// (a list row, or a row with a `detail` and no `action`) puts the lines after it on that page,
// until `back`. The rows of a pushed page are known only when it is open, so they are looked up,
// and their values checked, when the line runs.
#pragma once

#include <Foundation/Foundation.h>

#include "help.h"
#include "row_values.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

namespace settings_sim {

struct RowRef {
  std::string name;  // as written
  // The row it names in the pane's full list (not retained: the list keeps it); nil for a row of
  // a pushed page, looked up by name on the page on top when the line runs.
  id row = nil;
};

struct Show {};
struct Set {
  RowRef row;
  Value value;
};
struct Pick {
  std::string item;  // empty with noReferenceURL
  bool deleted = false;
  bool noReferenceURL = false;
};
struct Cancel {};
struct Tap {
  RowRef row;
};
struct Back {};
struct Snapshot {
  std::string file;  // the PNG to write
};

// The platform's later work, held and run in the user's order.
struct Hold {};
struct Pending {};
struct RunHeld {
  std::optional<uint64_t> number;  // nothing: run all
};
struct Release {};
// A disk fault of the device's file layer, as written after `fault` ("disk full").
struct Fault {
  std::vector<std::string> words;
};

using Action = std::variant<Show, Set, Tap, Back, Pick, Cancel, Snapshot, Hold, Pending, RunHeld,
                            Release, Fault>;

struct Command {
  int line = 0;
  Action action;
};

struct Problem {
  int line = 0;
  std::string message;
};

// Where the next line will run, as far as the check can tell: on the pane (no page pushed), or
// on pages pushed over it.
struct Pages {
  int pushed = 0;
  bool topIsList = false;  // the page on top is a list row's page, whose rows push nothing
  // False once a line may have pushed a page the check cannot foresee (a tap on a row of a pushed
  // page other than a list page): `back` is then checked only when it runs.
  bool known = true;
};

struct Script {
  std::vector<Command> commands;
  std::vector<Problem> problems;  // every bad line; nothing runs when there is one
  Pages pages;                    // after the last line checked
  bool holding = false;           // after the lines checked so far: a hold not yet released
};

// Every script line, documented.
const std::vector<sim::LineHelp>& scriptLines();

// The rows of a list (an NSArray of PSSpecifier, which must not change while this is in use)
// by name and by key, so that finding one costs the same however long the list.
class RowIndex {
 public:
  explicit RowIndex(id rows);
  // The row that `name` names: by name (label, else key) first, then by key. Nil, with `problem`
  // set, for no row or several.
  id find(const std::string& name, std::string& problem) const;

 private:
  std::unordered_map<std::string, std::vector<id>> byName_;
  std::unordered_map<std::string, std::vector<id>> byKey_;
};

// Checks one script line, numbered `number`, against the full row list of the pane and the pages
// `into.pages` says are pushed: appends its command to `into` (nothing for a blank line or a
// comment), or its problem, and moves `into.pages` on. False for a bad line. A whole script and a
// single line typed at a time go through this same check; `into.holding` carries whether a hold is
// in force from one line to the next (`run` needs one).
bool parseLine(const std::string& line, int number, const RowIndex& rows, Script& into);
// The row that `name` names among `rows`, as RowIndex::find() finds it.
id findRow(const std::string& name, id rows, std::string& problem);

// Prints each problem as "SCRIPT:LINE: message" on standard error.
void reportProblems(const std::string& scriptName, const std::vector<Problem>& problems);
// Every line of a script, each through parseLine().
Script parseScript(const std::string& text, id fullList);

}  // namespace settings_sim
