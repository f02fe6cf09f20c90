#include "settings_session.h"

#include <Foundation/ObjectState.h>
#include <Foundation/dispatch.h>
#include <Preferences/Preferences.h>
#include <UIKit/UIAlertController.h>
#include <device/journal.h>
#include <device/screen.h>

#include <cstdio>

#include "pane_picture.h"
#include "picker.h"
#include "row_text.h"

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
  journal::exchangeSink(std::move(before_));
}

void Session::ended(const std::string& name, const std::string& reason) {
  ended_ = true;
  std::fflush(stdout);
  std::string where =
      line_ == 0 ? "opening the pane" : setup_.scriptName + ":" + std::to_string(line_);
  std::fprintf(stderr,
               "plinka-sim settings: %s: the Settings application ended: uncaught exception "
               "'%s', reason: '%s'\n",
               where.c_str(), name.c_str(), reason.c_str());
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

int Session::runLine(const std::string& text, int number) {
  Script line;
  if (!parseLine(text, number, fullList_, line)) {
    reportProblems(setup_.scriptName, line.problems);
    return 2;
  }
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
    closeAlert();
    std::string problem;
    bool done = perform(command.action, problem);
    // What the platform does later (handlers, exports, completions) belongs to this line.
    dispatch::runPendingWork();
    if (done) preferences::layOutCells(controller_);
    std::fflush(stdout);
    if (done && !storeFailure_.empty()) problem = storeFailure_;
    if (!done || !storeFailure_.empty()) {
      storeFailure_.clear();
      std::fprintf(stderr, "%s:%d: %s\n", setup_.scriptName.c_str(), command.line, problem.c_str());
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
  if (presentedPicker(controller_) != nil) {
    problem = "the picker covers the pane: pick or cancel first";
    return false;
  }
  if (const auto* tap = std::get_if<Tap>(&action)) {
    if (preferences::userTapsRow(controller_, tap->row.row)) return true;
    problem = "row '" + tap->row.name + "' is not shown";
    return false;
  }
  if (std::holds_alternative<Back>(action)) {
    if (preferences::userGoesBack(controller_)) return true;
    problem = "no page to go back from: the pane itself is shown";
    return false;
  }
  const auto& change = std::get<Set>(action);
  if (!set(change)) {
    problem = "row '" + change.row.name + "' is not shown";
    return false;
  }
  return true;
}

// The user closes an alert left on screen before doing anything else.
void Session::closeAlert() {
  id presented = msgSend(controller_, sel("presentedViewController"));
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
void Session::show() {
  if (!journal::recording()) return;
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
    std::string whole = journal::made("rows", {{"rows", json::array()}}).dump();
    size_t cut = whole.find("[]") + 1;  // {"kind":"rows","rows":[ | ],"t":T}
    std::printf("%s", whole.substr(0, cut).c_str());
    tail = whole.substr(cut);
  } else {
    printer_.printTitle();
  }
  bool first = true;
  for (id each : ns::elements(msgSend(controller_, sel("specifiers")))) {
    ns::AutoreleasePool pool;
    ShownRow row = shownRow(controller_, each);
    json value =
        row.switchedOn ? json(*row.switchedOn) : ns::toJson(msgSend(row.row, sel("performGetter")));
    json shown = {{"label", stringAttribute(row.row, "label")},
                  {"key", stringAttribute(row.row, "key")},
                  {"cell", stringAttribute(row.row, "cell")},
                  {"value", value}};
    shown.update(cellFields(row.cell));
    if (ns::isKindOf(row.cell, "ZELImagePickerCell")) shown["preview"] = previewOf(row.cell);
    journal::repair(shown);
    if (setup_.json) {
      std::printf("%s%s", first ? "" : ",", shown.dump().c_str());
    } else {
      auto depth = depths_.find(row.row);
      printer_.printRow(shown, depth != depths_.end() ? depth->second : 0);
    }
    first = false;
  }
}

bool Session::set(const Set& set) {
  id value = std::visit(
      [](const auto& v) -> id {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) {
          return ns::boolNumber(v);
        } else if constexpr (std::is_same_v<T, int64_t>) {
          return ns::integerNumber(v);
        } else {
          return ns::string(v);
        }
      },
      set.value);
  // A switch cell only ever sends a boolean: the position the value reads as.
  if (isSwitch(set.row.row)) value = ns::boolNumber(readsOn(value));
  return preferences::userChangesValue(controller_, set.row.row, value);
}

int Session::drawPicture(const std::string& machine, const std::string& png) {
  if (ended_) return 1;
  try {
    ns::AutoreleasePool pool;
    Pane pane{setup_.title, shownRows(controller_), std::nullopt};
    uikit::AlertInfo alert;
    if (uikit::describeAlert(msgSend(controller_, sel("presentedViewController")), alert)) {
      pane.alert = alert;
    }
    std::string problem;
    if (!writePanePicture(pane, *device::screenOfMachine(machine), png, problem)) {
      std::fprintf(stderr, "plinka-sim settings: %s\n", problem.c_str());
      return 1;
    }
  } catch (const ns::Exception& raised) {
    ended(raised.name(), raised.reason());
    return 1;
  }
  return 0;
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
  if (setup_.json) {
    std::printf("%s\n", entry.dump().c_str());
  } else {
    printer_.print(entry);
  }
}

}  // namespace settings_sim
