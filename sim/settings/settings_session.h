// A session of `plinka-sim settings`: the pane open on the simulated Settings application, and
// the user's script lines run on it one at a time.
//
// While a session lives, every journal entry is printed as it is made (as JSON lines with
// `json`, else as readable lines) and none is kept. Each line runs to its end, with the work the
// platform queues for later (handlers, exports, completions): what that prints belongs to the
// line, but for the work held back by `hold` (see script.h). Before each line the user closes an
// alert left on screen. An exception the platform raises ends the Settings application: the
// session reports it, with the line it happened on, and runs nothing more. When the session
// ends, work still waiting is left unrun and counted in the journal.
#pragma once

#include <Foundation/Foundation.h>
#include <device/screen.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "journal_printer.h"
#include "pane_picture.h"
#include "script.h"

namespace settings_sim {

struct SessionSetup {
  std::string scriptName;                     // for FILE:LINE in messages
  bool json = false;                          // JSON lines instead of readable ones
  std::string title;                          // the pane's title, printed above `show`
  std::string machine = "iPhone13,4";         // whose screen pictures are drawn for
  Appearance appearance = Appearance::Light;  // the appearance pictures are drawn in
  // Where the message of a problem goes (a line refused or failed, the application ended, a
  // picture not written); without one, it is printed on standard error after FILE:LINE or the
  // command's name.
  std::function<void(const std::string& message)> problems;
  // `show` records one whole `rows` entry, for a host whose journal has listeners of its own
  // (the studio), instead of writing it out a row at a time as the command does.
  bool wholeRows = false;
};

class Session {
 public:
  // The controller shows the rows; `fullList` is every row, shown or not (both outlive the
  // session). Starts printing the journal.
  Session(SessionSetup setup, id controller, id fullList);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Makes the cells of the rows shown. 0, or 1 when the application ended.
  int open();
  // Checks and runs one script line numbered `number`: 2 for a bad line (reported as
  // FILE:LINE: message), 1 when it could not be done or the application has ended, 0 done.
  // Blank and comment lines do nothing.
  int runLine(const std::string& text, int number);
  // Runs a checked line: 1, reported, when the screen does not allow it, a value could not be
  // stored, or the application ended; 0 done.
  int run(const Command& command);
  // Runs a checked script line by line, stopping at the first that fails.
  int run(const Script& script);
  // Draws what is on screen (the page on top, an alert or the picker over it) on `screen` into
  // `png`, in `appearance`. 0, or 1 reported.
  int drawPicture(const device::ScreenModel& screen, const std::string& png, Appearance appearance);

  // What the screen shows now, as drawPicture() draws it: the page on top (a pushed page, with
  // the title of the page below on its back button) and an alert or the picker over it.
  Pane pane() const;

  // False once the application has ended.
  bool running() const { return !ended_; }
  // The pages pushed over the pane now, for checking the next line.
  Pages pages() const;

 private:
  bool perform(const Action& action, std::string& problem);
  std::optional<std::string> rowOf(const Action& action);
  void closeAlert();
  Pane onScreen(std::string& shows) const;
  bool drawScreen(const device::ScreenModel& screen, Appearance appearance, const std::string& png,
                  bool announce, std::string& problem);
  void show();
  void recordWholeRows();
  nlohmann::ordered_json rowEntry(id top, id row);
  id rowOnTop(const RowRef& ref, std::string& problem);
  std::vector<std::string> pagePath() const;
  std::string onPage() const;
  void print(const journal::Entry& entry);
  void ended(const std::string& name, const std::string& reason);
  // Hands a problem's message to setup_.problems, else prints it after `where`.
  void report(const std::string& where, const std::string& message);
  std::string lineOf(int number) const;  // "SCRIPT:LINE: "

  SessionSetup setup_;
  id controller_;
  id fullList_;
  std::optional<RowIndex> rowIndex_;  // of fullList_, made for the first line typed at a time
  std::map<id, int> depths_;
  std::vector<int> wholeRowDepths_;  // of the last whole `rows` entry, for its readable lines
  JournalPrinter printer_;
  journal::Sink before_;
  int line_ = 0;  // the script line running; 0 before the first
  bool ended_ = false;
  bool holdChecked_ = false;  // lines checked one at a time: a hold is in force
  std::string storeFailure_;  // set when a value could not be stored
};

}  // namespace settings_sim
