// The script language of `plinka-sim settings`: what the user does on the settings screen.
// Its lines, each documented beside its parser, are in one table in script.cpp; scriptLines()
// answers their documentation.
//
// ROW is a row's name: its label, or its key where it has no label (a row with neither cannot
// be named); a key also names its row when no row has that label. Quote it ("...") when it has
// spaces. VALUE is `on`, `off`, an integer, or a double-quoted string (\" and \\ inside); a
// switch row takes the position the value reads as (1 is on), as a switch only sends booleans.
// `#` starts a comment outside quotes; blank lines are ignored.
#pragma once

#include <Foundation/Foundation.h>

#include "help.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace settings_sim {

struct RowRef {
  std::string name;  // as written
  id row = nil;      // the row it names, from the full list (not retained: the list keeps it)
};

struct Show {};
struct Set {
  RowRef row;
  std::variant<bool, int64_t, std::string> value;
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
using Action = std::variant<Show, Set, Tap, Pick, Cancel>;

struct Command {
  int line = 0;
  Action action;
};

struct Problem {
  int line = 0;
  std::string message;
};

struct Script {
  std::vector<Command> commands;
  std::vector<Problem> problems;  // every bad line; nothing runs when there is one
};

// Every script line, documented.
const std::vector<sim::LineHelp>& scriptLines();

// Checks one script line, numbered `number`, against the full row list (an NSArray of
// PSSpecifier) it will run on: appends its command to `into` (nothing for a blank line or a
// comment), or its problem. False for a bad line. A whole script and a single line typed at a
// time go through this same check.
bool parseLine(const std::string& line, int number, id fullList, Script& into);
// Prints each problem as "SCRIPT:LINE: message" on standard error.
void reportProblems(const std::string& scriptName, const std::vector<Problem>& problems);
// Every line of a script, each through parseLine().
Script parseScript(const std::string& text, id fullList);

}  // namespace settings_sim
