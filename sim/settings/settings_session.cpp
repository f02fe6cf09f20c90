#include "settings_session.h"

#include <Foundation/ObjectState.h>
#include <Foundation/dispatch.h>
#include <Preferences/Preferences.h>
#include <UIKit/UIAlertController.h>
#include <device/journal.h>
#include <device/screen.h>

#include <cstdio>

#include "disk_faults.h"
#include "held_work.h"
#include "pane_picture.h"
#include "picker.h"
#include "row_text.h"
#include "row_values.h"

namespace settings_sim {

Session::Session(SessionSetup setup, id controller, id fullList)
    : setup_(std::move(setup)),
      controller_(controller),
      fullList_(fullList),
      depths_(nestingDepths(fullList)),
      printer_(setup_.title) {
  before_ = journal::exchangeSink([this](const journal::Entry& entry) { print(entry); });
  // A picker row's preview is journalled whenever it gets an image: its view's superview is the
  // cell, whose row names it.
  watchPreviews([](id view) -> std::string {
    id cell = send(view, "superview");
    if (!ns::isKindOf(cell, "ZELImagePickerCell")) return "";
    json name = preferences::rowName(send(cell, "specifier"));
    return name.is_string() ? name.get<std::string>() : "(unnamed row)";
  });
}

Session::~Session() {
  leaveWaitingWork();
  dispatch::hold(false);
  journal::exchangeSink(std::move(before_));
}

namespace {

std::optional<std::string> nameOf(id row) {
  json name = preferences::rowName(row);
  if (name.is_string()) return name.get<std::string>();
  return std::nullopt;
}

}  // namespace

// The row a line acts on, which the platform work it causes is tagged with: the row tapped or
// set, or for a pick or cancel the row whose cell presented the picker.
std::optional<std::string> Session::rowOf(const Action& action) {
  // A row of a pushed page is found only when its line runs: its name stands for it.
  auto named = [](const RowRef& ref) -> std::optional<std::string> {
    return ref.row != nil ? nameOf(ref.row) : ref.name;
  };
  if (const auto* tap = std::get_if<Tap>(&action)) return named(tap->row);
  if (const auto* change = std::get_if<Set>(&action)) return named(change->row);
  if (std::holds_alternative<Pick>(action) || std::holds_alternative<Cancel>(action)) {
    id picker = presentedPicker(controller_);
    id cell = picker != nil ? send(picker, "delegate") : nil;
    if (cell != nil && ns::isKindOf(cell, "PSTableCell")) return nameOf(send(cell, "specifier"));
  }
  return std::nullopt;
}

void Session::ended(const std::string& name, const std::string& reason) {
  ended_ = true;
  std::string where =
      line_ == 0 ? "opening the pane" : setup_.scriptName + ":" + std::to_string(line_);
  report("plinka-sim settings: " + where + ": ",
         "the Settings application ended: uncaught exception '" + name + "', reason: '" + reason +
             "'");
}

void Session::report(const std::string& where, const std::string& message) {
  std::fflush(stdout);
  if (setup_.problems) {
    setup_.problems(message);
  } else {
    std::fprintf(stderr, "%s%s\n", where.c_str(), message.c_str());
  }
}

std::string Session::lineOf(int number) const {
  return setup_.scriptName + ":" + std::to_string(number) + ": ";
}

int Session::open() {
  try {
    ns::AutoreleasePool pool;
    preferences::layOutCells(controller_);
    dispatch::runPendingWork();
  } catch (const ns::Exception& raised) {
    ended(raised.name(), raised.reason());
    return 1;
  }
  std::fflush(stdout);
  return 0;
}

Pages Session::pages() const {
  std::vector<id> stack = preferences::navigationStack(controller_);
  Pages pages;
  pages.pushed = static_cast<int>(stack.size()) - 1;
  pages.topIsList = ns::isKindOf(stack.back(), "PSListItemsController");
  // Beyond one page, which rows pushed which is not the check's to foresee.
  pages.known = pages.pushed <= 1;
  return pages;
}

int Session::runLine(const std::string& text, int number) {
  Script line;
  line.pages = pages();
  line.holding = holdChecked_;
  if (!rowIndex_) rowIndex_.emplace(fullList_);
  if (!parseLine(text, number, *rowIndex_, line)) {
    for (const Problem& bad : line.problems) report(lineOf(bad.line), bad.message);
    return 2;
  }
  holdChecked_ = line.holding;
  return run(line);
}

int Session::run(const Script& script) {
  for (const Command& command : script.commands) {
    if (int status = run(command); status != 0) return status;
  }
  return 0;
}

int Session::run(const Command& command) {
  if (ended_) return 1;
  line_ = command.line;
  try {
    ns::AutoreleasePool pool;
    // A snapshot is no user action: what is on screen stays.
    if (!std::holds_alternative<Snapshot>(command.action)) closeAlert();
    std::string problem;
    dispatch::setRow(rowOf(command.action));
    bool done = perform(command.action, problem);
    // What the platform does later (handlers, exports, completions) belongs to this line, but
    // for the work held back.
    dispatch::runPendingWork();
    dispatch::setRow(std::nullopt);
    if (done) preferences::layOutCells(preferences::topController(controller_));
    std::fflush(stdout);
    // A value the user set that could not be stored stops the script; a pick's store is the
    // cell's to report (it refuses the pick and says why).
    if (!std::holds_alternative<Set>(command.action)) storeFailure_.clear();
    if (done && !storeFailure_.empty()) problem = storeFailure_;
    if (!done || !storeFailure_.empty()) {
      storeFailure_.clear();
      report(lineOf(command.line), problem);
      return 1;
    }
  } catch (const ns::Exception& raised) {
    ended(raised.name(), raised.reason());
    return 1;
  }
  return 0;
}

// One user action; false, with `problem` set, for one the screen does not allow.
bool Session::perform(const Action& action, std::string& problem) {
  if (std::holds_alternative<Show>(action)) {
    show();
    return true;
  }
  if (const auto* pick = std::get_if<Pick>(&action)) {
    return settings_sim::pick(controller_, *pick, problem);
  }
  if (std::holds_alternative<Cancel>(action)) {
    return cancel(controller_, problem);
  }
  if (const auto* snapshot = std::get_if<Snapshot>(&action)) {
    return drawScreen(*device::screenOfMachine(setup_.machine), setup_.appearance, snapshot->file,
                      true, problem);
  }
  if (std::holds_alternative<Hold>(action)) {
    dispatch::hold(true);
    return true;
  }
  if (std::holds_alternative<Pending>(action)) {
    recordPending();
    return true;
  }
  if (const auto* run = std::get_if<RunHeld>(&action)) return runHeld(run->number, problem);
  if (std::holds_alternative<Release>(action)) {
    runHeld(std::nullopt, problem);
    dispatch::hold(false);
    return true;
  }
  if (const auto* fault = std::get_if<Fault>(&action)) {
    std::optional<unsigned> faults = sim::parseDiskFault(fault->words, sim::diskFaults(), problem);
    if (!faults) return false;
    sim::setDiskFaults(*faults);
    journal::record("fault", {{"disk", fault->words[0] + " " + fault->words[1]}});
    return true;
  }
  if (presentedPicker(controller_) != nil) {
    problem = "the picker covers the pane: pick or cancel first";
    return false;
  }
  if (std::holds_alternative<Back>(action)) {
    if (preferences::userGoesBack(controller_)) return true;
    problem = "back: no page is pushed over the pane";
    return false;
  }
  id top = preferences::topController(controller_);
  if (const auto* tap = std::get_if<Tap>(&action)) {
    id row = rowOnTop(tap->row, problem);
    if (row == nil) return false;
    problem.clear();
    if (!preferences::userTapsRow(top, row, &problem)) {
      problem = "row '" + tap->row.name + "' is not shown" + onPage();
      return false;
    }
    return problem.empty();  // a detail that is no list controller pushed nothing
  }
  const auto& change = std::get<Set>(action);
  id row = rowOnTop(change.row, problem);
  if (row == nil) return false;
  // Checked again now: a data source answers what the pane offers at this moment.
  id value = valueToSend(row, change.row.name, change.value, false, problem);
  if (value == nil) return false;
  if (!preferences::userChangesValue(top, row, value)) {
    problem = "row '" + change.row.name + "' is not shown" + onPage();
    return false;
  }
  return true;
}

// The row a line names: the one found in the pane's list when the script was checked, else the
// one of that name on the page on top.
id Session::rowOnTop(const RowRef& ref, std::string& problem) {
  if (ref.row != nil) return ref.row;
  id top = preferences::topController(controller_);
  id row = findRow(ref.name, msgSend(top, sel("specifiers")), problem);
  if (row == nil) problem += onPage();
  return row;
}

// " on the page 'TITLE'" while a page is pushed, for messages about rows; "" on the pane.
std::string Session::onPage() const {
  std::vector<std::string> path = pagePath();
  return path.size() > 1 ? " on the page '" + path.back() + "'" : "";
}

// The titles of the pages from the pane to the one on top.
std::vector<std::string> Session::pagePath() const {
  std::vector<std::string> path;
  for (id page : preferences::navigationStack(controller_)) {
    path.push_back(path.empty() ? setup_.title : preferences::pageTitle(page));
  }
  return path;
}

// The user closes an alert left on screen before doing anything else.
void Session::closeAlert() {
  id presented = msgSend(preferences::topController(controller_), sel("presentedViewController"));
  uikit::AlertInfo alert;
  if (presented == nil || !uikit::describeAlert(presented, alert)) return;
  size_t tap = 0;
  for (size_t i = 0; i < alert.actions.size(); ++i) {
    if (alert.actions[i].style == UIAlertActionStyleCancel) tap = i;
  }
  journal::Pause quiet;
  uikit::tapAlertAction(presented, tap);
}

// The rows shown, as one `rows` entry ({"rows": [...]}) written out a row at a time, so that no
// entry holds every row of a long pane: the same JSON line, or the same readable lines, as the
// whole entry would print as. Entries made while the rows are read follow it.
// The row as `show` gives it: label, key, type, value and what its cell shows.
json Session::rowEntry(id top, id each) {
  ShownRow row = shownRow(top, each);
  json value =
      row.switchedOn ? json(*row.switchedOn) : ns::toJson(msgSend(row.row, sel("performGetter")));
  json shown = {{"label", rowLabel(row.row)},
                {"key", stringAttribute(row.row, "key")},
                {"cell", rowType(row.row)},
                {"value", value}};
  shown.update(cellFields(row.cell));
  if (ns::isKindOf(row.cell, "ZELImagePickerCell")) shown["preview"] = previewOf(row.cell);
  journal::repair(shown);
  return shown;
}

void Session::recordWholeRows() {
  id top = preferences::topController(controller_);
  json rows = json::array();
  wholeRowDepths_.clear();
  for (id each : ns::elements(msgSend(top, sel("specifiers")))) {
    ns::AutoreleasePool pool;
    rows.push_back(rowEntry(top, each));
    auto depth = depths_.find(each);
    wholeRowDepths_.push_back(depth != depths_.end() ? depth->second : 0);
  }
  journal::record("rows", {{"page", pagePath()}, {"rows", rows}});
}

void Session::show() {
  if (!journal::recording()) return;
  if (setup_.wholeRows) {
    recordWholeRows();
    return;
  }
  std::vector<journal::Entry> meanwhile;
  std::string tail;  // what closes the JSON line
  struct Finish {
    Session& session;
    std::vector<journal::Entry>& meanwhile;
    std::string& tail;
    journal::Sink printing;
    ~Finish() {
      if (!tail.empty()) std::printf("%s\n", tail.c_str());
      journal::exchangeSink(std::move(printing));
      for (const journal::Entry& entry : meanwhile) session.print(entry);
    }
  } finish{*this, meanwhile, tail,
           journal::exchangeSink([&](const journal::Entry& entry) { meanwhile.push_back(entry); })};
  if (setup_.json) {
    std::string whole =
        journal::made("rows", {{"page", pagePath()}, {"rows", json::array()}}).dump();
    size_t cut = whole.find("\"rows\":[]") + 8;  // {"kind":"rows","page":[...],"rows":[ | ],"t":T}
    std::printf("%s", whole.substr(0, cut).c_str());
    tail = whole.substr(cut);
  } else {
    printer_.printTitle(pagePath());
  }
  bool first = true;
  id top = preferences::topController(controller_);
  for (id each : ns::elements(msgSend(top, sel("specifiers")))) {
    ns::AutoreleasePool pool;
    json shown = rowEntry(top, each);
    if (setup_.json) {
      std::printf("%s%s", first ? "" : ",", shown.dump().c_str());
    } else {
      auto depth = depths_.find(each);
      printer_.printRow(shown, depth != depths_.end() ? depth->second : 0);
    }
    first = false;
  }
}

// What the screen shows: the page on top of the navigation stack, the title of the page below
// on its back button, and what is presented over it. `shows` names it: page, alert or picker.
Pane Session::onScreen(std::string& shows) const {
  std::vector<id> stack = preferences::navigationStack(controller_);
  auto titleOf = [this](id page) {
    return page == controller_ ? setup_.title : preferences::pageTitle(page);
  };
  id top = stack.back();
  Pane pane{titleOf(top), shownRows(top), std::nullopt};
  if (stack.size() > 1) {
    // The back button is titled by the page below (UIKit's "Back" when that page has no title).
    std::string below = titleOf(stack[stack.size() - 2]);
    pane.backTitle = below.empty() ? "Back" : below;
  }
  shows = "page";
  for (auto page = stack.rbegin(); page != stack.rend(); ++page) {
    id presented = msgSend(*page, sel("presentedViewController"));
    if (presented == nil) continue;
    uikit::AlertInfo alert;
    if (uikit::describeAlert(presented, alert)) {
      pane.alert = alert;
      shows = "alert";
    } else if (ns::isKindOf(presented, "UIImagePickerController")) {
      pane.picker = pickerSheet(presented);
      shows = "picker";
    }
    break;
  }
  return pane;
}

// Draws the screen into `png`; with `announce`, records what it shows ("snapshot" {file, shows,
// title, width, height, and the picker's items}).
bool Session::drawScreen(const device::ScreenModel& screen, Appearance appearance,
                         const std::string& png, bool announce, std::string& problem) {
  std::string shows;
  Pane pane = onScreen(shows);
  PictureSize size;
  if (!writePanePicture(pane, screen, appearance, png, problem, &size)) {
    return false;
  }
  if (!announce) return true;
  json entry = {{"file", png},
                {"shows", shows},
                {"title", pane.title},
                {"width", size.width},
                {"height", size.height}};
  if (pane.picker) {
    json items = json::array();
    for (const PickerItem& item : pane.picker->items) {
      json shown = {{"name", item.name}};
      if (item.video) shown["duration"] = item.duration ? json(*item.duration) : json();
      items.push_back(std::move(shown));
    }
    entry["items"] = std::move(items);
  }
  journal::record("snapshot", entry);
  return true;
}

int Session::drawPicture(const device::ScreenModel& screen, const std::string& png,
                         Appearance appearance) {
  if (ended_) return 1;
  try {
    ns::AutoreleasePool pool;
    std::string problem;
    if (!drawScreen(screen, appearance, png, false, problem)) {
      report("plinka-sim settings: ", problem);
      return 1;
    }
  } catch (const ns::Exception& raised) {
    ended(raised.name(), raised.reason());
    return 1;
  }
  return 0;
}

Pane Session::pane() const {
  std::string shows;
  return onScreen(shows);
}

void Session::print(const journal::Entry& entry) {
  const std::string kind = entry.value("kind", "");
  if (kind == "store-failed") {
    storeFailure_ = "could not store " + entry.value("key", "") + ": " + entry.value("reason", "");
  } else if (kind == "unknown-cell-type" || kind == "unknown-cell-class") {
    // A typo in a row list is the pane author's to hear of, whichever attribute it is in.
    std::fflush(stdout);
    bool type = kind == "unknown-cell-type";
    json named = entry[type ? "cell" : "class"];
    std::fprintf(stderr, "plinka-sim settings: row %s: %s %s (%s); %s\n",
                 nameText(entry["row"]).c_str(), type ? "cell" : "cellClass",
                 named.is_string() ? named.get<std::string>().c_str() : "(none)",
                 entry.value("reason", "").c_str(),
                 type ? "shown as a plain row" : "the framework's cell instead");
  } else if (kind == "kept-aside") {
    std::fflush(stdout);
    std::fprintf(stderr, "plinka-sim settings: %s was unreadable; kept aside as %s\n",
                 entry.value("file", "").c_str(), entry.value("aside", "").c_str());
  }
  if (!setup_.json && kind == "rows") {
    std::vector<std::string> page;
    for (const json& title : entry.value("page", json::array())) {
      page.push_back(title.is_string() ? title.get<std::string>() : "");
    }
    printer_.printTitle(page);
    size_t i = 0;
    for (const json& row : entry["rows"]) {
      printer_.printRow(row, i < wholeRowDepths_.size() ? wholeRowDepths_[i] : 0);
      ++i;
    }
    return;
  }
  if (setup_.json) {
    std::printf("%s\n", entry.dump().c_str());
  } else {
    printer_.print(entry);
  }
}

}  // namespace settings_sim
