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

int Session::runLine(const std::string& text, int number) {
  Script line;
  if (!parseLine(text, number, fullList_, line)) {
    for (const Problem& bad : line.problems) report(lineOf(bad.line), bad.message);
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
  if (presentedPicker(controller_) != nil) {
    problem = "the picker covers the pane: pick or cancel first";
    return false;
  }
  if (const auto* tap = std::get_if<Tap>(&action)) {
    if (preferences::userTapsRow(controller_, tap->row.row)) return true;
    problem = "row '" + tap->row.name + "' is not shown";
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

void Session::show() {
  json rows = json::array();
  std::vector<int> depths;
  for (const ShownRow& row : shownRows(controller_)) {
    json value =
        row.switchedOn ? json(*row.switchedOn) : ns::toJson(msgSend(row.row, sel("performGetter")));
    json shown = {{"label", stringAttribute(row.row, "label")},
                  {"key", stringAttribute(row.row, "key")},
                  {"cell", stringAttribute(row.row, "cell")},
                  {"value", value}};
    shown.update(cellFields(row.cell));
    id cell = row.cell;
    if (ns::isKindOf(cell, "ZELImagePickerCell")) shown["preview"] = previewOf(cell);
    rows.push_back(std::move(shown));
    depths.push_back(depths_.count(row.row) != 0 ? depths_[row.row] : 0);
  }
  printer_.nextRowDepths(std::move(depths));  // before the entry: it is printed as made
  journal::record("rows", {{"rows", rows}});
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

int Session::drawPicture(const device::ScreenModel& screen, const std::string& png) {
  if (ended_) return 1;
  try {
    ns::AutoreleasePool pool;
    std::string problem;
    if (!writePanePicture(pane(), screen, png, problem)) {
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
  std::vector<id> stack = preferences::navigationStack(controller_);
  auto titleOf = [this](id page) {
    return page == controller_ ? setup_.title : preferences::pageTitle(page);
  };
  Pane pane{titleOf(stack.back()), shownRows(stack.back()), std::nullopt, ""};
  if (stack.size() > 1) pane.backTitle = titleOf(stack[stack.size() - 2]);
  for (auto page = stack.rbegin(); page != stack.rend() && !pane.alert; ++page) {
    uikit::AlertInfo alert;
    if (uikit::describeAlert(msgSend(*page, sel("presentedViewController")), alert)) {
      pane.alert = alert;
    }
  }
  return pane;
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
