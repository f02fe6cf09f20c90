// plinka-sim settings: the product's settings pane on a simulated Settings application.
#include <Foundation/ObjectState.h>
#include <Foundation/dispatch.h>
#include <Preferences/Preferences.h>
#include <UIKit/UIAlertController.h>
#include <UIKit/UIImage.h>
#include <UIKit/UITableViewCell.h>
#include <device/device.h>
#include <device/journal.h>
#include <device/screen.h>
#include <pkprefs3/ZELPreferenceController.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>

#include "commands.h"
#include "example_device.h"
#include "help.h"
#include "pane_host.h"
#include "pane_picture.h"
#include "picker.h"
#include "script.h"

namespace {

using json = nlohmann::ordered_json;
namespace fs = std::filesystem;

constexpr const char* kName = "settings";

struct Options {
  std::string deviceRoot;  // empty: a temporary copy of the example device
  std::string systemVersion;
  std::string machine = "iPhone13,4";  // the simulated device's model: its screen
  bool json = false;
  std::string png;  // empty: no picture
  std::string rows;
  std::string script;
};

int argumentError(const std::string& message) {
  return sim::argumentError(kName, message);
}

bool parseOptions(const Arguments& args, Options& options, std::string& problem) {
  bool haveScript = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) {
        problem = arg + " needs a value";
        return false;
      }
      into = args[++i];
      return true;
    };
    if (arg == "--device-root") {
      if (!value(options.deviceRoot)) return false;
    } else if (arg == "--system-version") {
      if (!value(options.systemVersion)) return false;
      if (!sim::isSystemVersion(options.systemVersion)) {
        problem = "--system-version takes a version such as 14.4 or 13.0b2, not '" +
                  options.systemVersion + "'";
        return false;
      }
    } else if (arg == "--machine") {
      if (!value(options.machine)) return false;
      if (device::screenOfMachine(options.machine) == nullptr) {
        problem = "no screen known for machine " + options.machine + " (known: ";
        for (const std::string& known : device::knownScreenMachines())
          problem += (problem.back() == ' ' ? "" : ", ") + known;
        problem += ")";
        return false;
      }
    } else if (arg == "--png") {
      if (!value(options.png)) return false;
      if (options.png.empty()) {
        problem = "--png needs a file";
        return false;
      }
    } else if (arg == "--rows") {
      if (!value(options.rows)) return false;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      problem = "unknown option " + arg;
      return false;
    } else if (haveScript) {
      problem = "one script only (" + options.script + ", then " + arg + ")";
      return false;
    } else {
      options.script = arg;
      haveScript = true;
    }
  }
  if (options.rows.empty()) {
    problem = "--rows ROWS is required";
    return false;
  }
  if (!haveScript) {
    problem = "no script (a file, or - for standard input)";
    return false;
  }
  return true;
}

bool readScript(const std::string& name, std::string& text) {
  if (name == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return true;
  }
  std::error_code error;
  if (fs::is_directory(name, error)) return false;
  std::ifstream file(name, std::ios::binary);
  if (!file) return false;
  text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return true;
}

// --- what rows look like ------------------------------------------------------------------

id attribute(id row, const char* key) {
  return ns::valueFor(msgSend(row, sel("properties")), key);
}
json stringAttribute(id row, const char* key) {
  id value = attribute(row, key);
  return value != nil && ns::isKindOf(value, "NSString") ? json(ns::utf8(value)) : json();
}
bool readsOn(id value) {
  return value != nil && msgSend<BOOL>(value, sel("respondsToSelector:"), sel("boolValue")) &&
         msgSend<BOOL>(value, sel("boolValue")) != NO;
}
bool isSwitch(id row) {
  return msgSend<PSCellType>(row, sel("cellType")) == PSSwitchCell;
}

// How deep each row of the full list is nested: the number of runs it lies in.
std::map<id, int> nestingDepths(id fullList) {
  std::vector<id> rows = ns::elements(fullList);
  std::map<id, int> depth;
  std::map<id, size_t> first;
  for (size_t i = 0; i < rows.size(); ++i) first.try_emplace(rows[i], i);
  std::vector<int> at(rows.size(), 0);
  for (size_t i = 0; i < rows.size(); ++i) {
    if (first[rows[i]] != i) continue;
    id count = attribute(rows[i], "nestedEntryCount");
    if (count == nil || !msgSend<BOOL>(count, sel("respondsToSelector:"), sel("intValue")))
      continue;
    long owned = msgSend<int>(count, sel("intValue"));
    for (size_t j = i + 1; j < rows.size() && static_cast<long>(j - i) <= owned; ++j) ++at[j];
  }
  for (size_t i = 0; i < rows.size(); ++i) depth.try_emplace(rows[i], at[i]);
  return depth;
}

std::string text(const json& value) {
  if (value.is_null()) return "nothing";
  if (value.is_boolean()) return value.get<bool>() ? "on" : "off";
  return value.dump();
}
std::string nameText(const json& name) {
  return name.is_string() ? name.get<std::string>() : "(unnamed row)";
}
std::string namesText(const json& names) {
  if (!names.is_array() || names.empty()) return "no rows";
  std::string out;
  for (const json& name : names) out += (out.empty() ? "" : ", ") + nameText(name);
  return out;
}

const char* alertStyleName(const json& style) {
  return style == UIAlertControllerStyleAlert ? "alert" : "action sheet";
}
const char* actionStyleName(const json& style) {
  if (style == UIAlertActionStyleCancel) return "cancel";
  if (style == UIAlertActionStyleDestructive) return "destructive";
  return "default";
}

// --- what cells show ------------------------------------------------------------------------

constexpr const char* kAccessoryTypes[] = {
    "none", "disclosure indicator", "detail disclosure button", "checkmark", "detail button"};
constexpr const char* kSelectionStyles[] = {"none", "blue", "gray", "default"};

template <size_t N>
std::string nameIn(const char* const (&names)[N], const json& value) {
  if (!value.is_number_integer()) return "";
  int64_t i = value.get<int64_t>();
  return i >= 0 && static_cast<size_t>(i) < N ? names[i] : std::to_string(i);
}

// What a row's cell shows, for the `rows` entry: its class and style, the detail line, the
// accessory (the name its image was loaded by) and the accessory type and selection style.
json cellFields(id cell) {
  if (cell == nil) {
    return {{"class", nullptr},     {"style", nullptr},         {"detail", nullptr},
            {"accessory", nullptr}, {"accessoryType", nullptr}, {"selectionStyle", nullptr}};
  }
  id detail = msgSend(cell, sel("detailTextLabel"));
  std::string accessory =
      uikit::imageAssetName(msgSend(msgSend(cell, sel("accessoryView")), sel("image")));
  return {{"class", ns::className(cell)},
          {"style", msgSend<NSInteger>(cell, sel("style"))},
          {"detail", detail == nil ? json() : ns::toJson(msgSend(detail, sel("text")))},
          {"accessory", accessory.empty() ? json() : json(accessory)},
          {"accessoryType", msgSend<NSInteger>(cell, sel("accessoryType"))},
          {"selectionStyle", msgSend<NSInteger>(cell, sel("selectionStyle"))}};
}

// The readable form: "  (CLASS, detail "...", accessory NAME, selection STYLE)", leaving out
// what a plain cell shows (no detail line, no accessory, the default selection style).
std::string cellText(const json& row) {
  if (!row.contains("class") || !row["class"].is_string()) return "";
  std::string out = "  (" + row["class"].get<std::string>();
  if (!row["detail"].is_null()) out += ", detail " + row["detail"].dump();
  if (row["accessory"].is_string()) {
    out += ", accessory " + row["accessory"].get<std::string>();
  } else if (row["accessoryType"] != UITableViewCellAccessoryNone) {
    out += ", " + nameIn(kAccessoryTypes, row["accessoryType"]);
  }
  if (row["selectionStyle"] != UITableViewCellSelectionStyleDefault) {
    out += ", selection " + nameIn(kSelectionStyles, row["selectionStyle"]);
  }
  if (row.contains("preview")) {
    const json& preview = row["preview"];
    out += ", preview " + preview["source"].get<std::string>();
    if (preview.contains("width")) {
      out += " " + preview["width"].dump() + "x" + preview["height"].dump();
    }
  }
  return out + ")";
}

// The readable lines of the entries that cells and URLs make; false for any other kind.
bool printCellEntry(const journal::Entry& entry) {
  const std::string kind = entry.value("kind", "");
  auto url = [&](const char* field) {
    return entry[field].is_string() ? entry[field].get<std::string>() : std::string("(no URL)");
  };
  if (kind == "cell") {
    // The framework's own cells are made for every row: only the rows' own classes are news.
    if (entry["class"] == "PSTableCell") return true;
    std::printf("cell %s: %s (style %s)\n", nameText(entry["row"]).c_str(),
                entry["class"].get<std::string>().c_str(), entry["style"].dump().c_str());
  } else if (kind == "unknown-cell-class") {
    std::printf("cell %s: no cell class %s (%s), PSTableCell instead\n",
                nameText(entry["row"]).c_str(), entry["class"].get<std::string>().c_str(),
                entry["reason"].get<std::string>().c_str());
  } else if (kind == "select") {
    std::printf("%s %s%s\n", entry["selected"] == true ? "select" : "deselect",
                nameText(entry["row"]).c_str(), entry["animated"] == true ? " (animated)" : "");
  } else if (kind == "can-open") {
    std::printf("can-open %s: %s\n", url("url").c_str(), entry["answer"] == true ? "yes" : "no");
  } else if (kind == "open-url") {
    std::printf("open %s\n", url("url").c_str());
  } else if (kind == "open-refused") {
    std::printf("open refused for %s: %s\n", nameText(entry["row"]).c_str(),
                entry["reason"].get<std::string>().c_str());
  } else {
    return false;
  }
  return true;
}

// The rows the controller shows, with their cells, as `show` prints them and --png draws them.
std::vector<settings_sim::ShownRow> shownRows(id controller) {
  std::vector<settings_sim::ShownRow> rows;
  for (id row : ns::elements(msgSend(controller, sel("specifiers")))) {
    settings_sim::ShownRow shown;
    shown.row = row;
    shown.cell = preferences::cellForRow(controller, row);
    shown.group = msgSend<PSCellType>(row, sel("cellType")) == PSGroupCell;
    json label = stringAttribute(row, "label");
    json key = stringAttribute(row, "key");
    shown.label = label.is_string() ? label.get<std::string>()
                  : key.is_string() ? key.get<std::string>()
                                    : "";
    if (isSwitch(row)) shown.switchedOn = readsOn(msgSend(row, sel("performGetter")));
    rows.push_back(std::move(shown));
  }
  return rows;
}

// --- the session --------------------------------------------------------------------------

class Session {
 public:
  Session(const Options& options, id controller, id fullList, std::string title)
      : options_(options),
        controller_(controller),
        title_(std::move(title)),
        depths_(nestingDepths(fullList)) {}

  // Makes the cells of the rows shown, then runs the script, printing each journal entry as it
  // is made (none is kept). An exception the platform raises ends the Settings application on
  // the device: it ends the run here, reported with its name and reason, after what happened
  // before it.
  int start(const settings_sim::Script& script) {
    struct PrintAsMade {
      explicit PrintAsMade(Session* session)
          : before(journal::exchangeSink(
                [session](const journal::Entry& entry) { session->print(entry); })) {}
      ~PrintAsMade() { journal::exchangeSink(std::move(before)); }
      journal::Sink before;
    } printing(this);
    try {
      // A picker row's preview is journalled whenever it gets an image: its view's superview
      // is the cell, whose row names it.
      settings_sim::watchPreviews([](id view) -> std::string {
        id cell = send(view, "superview");
        if (!ns::isKindOf(cell, "ZELImagePickerCell")) return "";
        json name = preferences::rowName(send(cell, "specifier"));
        return name.is_string() ? name.get<std::string>() : "(unnamed row)";
      });
      {
        ns::AutoreleasePool pool;
        preferences::layOutCells(controller_);
        dispatch::runPendingWork();
      }
      std::fflush(stdout);
      int status = run(script);
      return status == 0 && !options_.png.empty() ? drawPicture() : status;
    } catch (const ns::Exception& raised) {
      std::fflush(stdout);
      std::string where =
          line_ == 0 ? "opening the pane" : options_.script + ":" + std::to_string(line_);
      std::fprintf(stderr,
                   "plinka-sim settings: %s: the Settings application ended: uncaught exception "
                   "'%s', reason: '%s'\n",
                   where.c_str(), raised.name().c_str(), raised.reason().c_str());
      return 1;
    }
  }

  int run(const settings_sim::Script& script) {
    for (const settings_sim::Command& command : script.commands) {
      std::string problem;
      if (!runOne(command, problem)) {
        std::fprintf(stderr, "%s:%d: %s\n", options_.script.c_str(), command.line, problem.c_str());
        return 1;
      }
    }
    return 0;
  }

  // One checked line; false, with `problem`, when it could not be done.
  bool runOne(const settings_sim::Command& command, std::string& problem) {
    ns::AutoreleasePool pool;
    line_ = command.line;
    closeAlert();
    bool done = perform(command.action, problem);
    // What the platform does later (handlers, exports, completions) belongs to this line.
    dispatch::runPendingWork();
    if (done) preferences::layOutCells(controller_);
    std::fflush(stdout);
    bool storeFailed = !storeFailure_.empty();
    if (done && storeFailed) problem = storeFailure_;
    storeFailure_.clear();
    return done && !storeFailed;
  }

  // Makes the cells of the rows shown, as start() does before the script's first line.
  void open() {
    settings_sim::watchPreviews([](id view) -> std::string {
      id cell = send(view, "superview");
      if (!ns::isKindOf(cell, "ZELImagePickerCell")) return "";
      json name = preferences::rowName(send(cell, "specifier"));
      return name.is_string() ? name.get<std::string>() : "(unnamed row)";
    });
    ns::AutoreleasePool pool;
    preferences::layOutCells(controller_);
    dispatch::runPendingWork();
    std::fflush(stdout);
  }

  // What the screen shows now, as --png draws it.
  settings_sim::Pane pane() {
    settings_sim::Pane pane{title_, shownRows(controller_), std::nullopt};
    uikit::AlertInfo alert;
    if (uikit::describeAlert(msgSend(controller_, sel("presentedViewController")), alert)) {
      pane.alert = alert;
    }
    return pane;
  }
  id controller() const { return controller_; }
  void setEntrySink(journal::Sink sink) { also_ = std::move(sink); }

 private:
  // One user action; false, with `problem` set, for one the screen does not allow.
  bool perform(const settings_sim::Action& action, std::string& problem) {
    if (std::holds_alternative<settings_sim::Show>(action)) {
      show();
      return true;
    }
    if (const auto* pick = std::get_if<settings_sim::Pick>(&action)) {
      return settings_sim::pick(controller_, *pick, problem);
    }
    if (std::holds_alternative<settings_sim::Cancel>(action)) {
      return settings_sim::cancel(controller_, problem);
    }
    if (settings_sim::presentedPicker(controller_) != nil) {
      problem = "the picker covers the pane: pick or cancel first";
      return false;
    }
    if (const auto* tap = std::get_if<settings_sim::Tap>(&action)) {
      if (preferences::userTapsRow(controller_, tap->row.row)) return true;
      problem = "row '" + tap->row.name + "' is not shown";
      return false;
    }
    const auto& change = std::get<settings_sim::Set>(action);
    if (!set(change)) {
      problem = "row '" + change.row.name + "' is not shown";
      return false;
    }
    return true;
  }

  // The user closes an alert left on screen before doing anything else.
  void closeAlert() {
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

  void show() {
    json rows = json::array();
    std::vector<int> depths;
    for (const settings_sim::ShownRow& row : shownRows(controller_)) {
      json value = row.switchedOn ? json(*row.switchedOn)
                                  : ns::toJson(msgSend(row.row, sel("performGetter")));
      json shown = {{"label", stringAttribute(row.row, "label")},
                    {"key", stringAttribute(row.row, "key")},
                    {"cell", stringAttribute(row.row, "cell")},
                    {"value", value}};
      shown.update(cellFields(row.cell));
      id cell = row.cell;
      if (ns::isKindOf(cell, "ZELImagePickerCell"))
        shown["preview"] = settings_sim::previewOf(cell);
      rows.push_back(std::move(shown));
      depths.push_back(depths_.count(row.row) != 0 ? depths_[row.row] : 0);
    }
    shownDepths_.push_back(std::move(depths));  // before the entry: it is printed as it is made
    journal::record("rows", {{"rows", rows}});
  }

  bool set(const settings_sim::Set& set) {
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

  // Draws the pane as it stands, with the alert left on screen, into the --png file.
  int drawPicture() {
    ns::AutoreleasePool pool;
    settings_sim::Pane pane{title_, shownRows(controller_), std::nullopt};
    uikit::AlertInfo alert;
    if (uikit::describeAlert(msgSend(controller_, sel("presentedViewController")), alert)) {
      pane.alert = alert;
    }
    std::string problem;
    if (!settings_sim::writePanePicture(pane, *device::screenOfMachine(options_.machine),
                                        options_.png, problem)) {
      std::fprintf(stderr, "plinka-sim settings: %s\n", problem.c_str());
      return 1;
    }
    return 0;
  }

 public:
  // Prints an entry as the command does (and hands it on to the entry sink, if any).
  void print(const journal::Entry& entry) {
    if (also_) also_(entry);
    const std::string kind = entry.value("kind", "");
    if (kind == "store-failed") {
      storeFailure_ =
          "could not store " + entry.value("key", "") + ": " + entry.value("reason", "");
    } else if (kind == "kept-aside") {
      std::fflush(stdout);
      std::fprintf(stderr, "plinka-sim settings: %s was unreadable; kept aside as %s\n",
                   entry.value("file", "").c_str(), entry.value("aside", "").c_str());
    }
    if (options_.json) {
      std::printf("%s\n", entry.dump().c_str());
    } else {
      printText(entry);
    }
  }

 private:
  void printText(const journal::Entry& entry) {
    const std::string kind = entry.value("kind", "");
    if (kind == "rows") {
      std::vector<int> depths = shownDepths_.empty() ? std::vector<int>() : shownDepths_.front();
      if (!shownDepths_.empty()) shownDepths_.pop_front();
      if (!title_.empty()) std::printf("%s\n", title_.c_str());
      size_t i = 0;
      for (const json& row : entry["rows"]) {
        int depth = i < depths.size() ? depths[i] : 0;
        ++i;
        std::string indent(static_cast<size_t>(2 * (depth + 1)), ' ');
        std::string label = row["label"].is_string() ? row["label"].get<std::string>()
                            : row["key"].is_string() ? row["key"].get<std::string>()
                                                     : "";
        if (row["cell"] == "PSGroupCell") {
          std::printf("%s== %s ==\n", indent.c_str(), label.c_str());
        } else if (row["value"].is_null()) {
          std::printf("%s%s%s\n", indent.c_str(), label.c_str(), cellText(row).c_str());
        } else {
          std::printf("%s%s: %s%s\n", indent.c_str(), label.c_str(), text(row["value"]).c_str(),
                      cellText(row).c_str());
        }
      }
    } else if (kind == "store") {
      std::string key = entry["key"].is_string() ? entry["key"].get<std::string>() : "no key";
      std::printf("store %s (%s) = %s\n", nameText(entry["row"]).c_str(), key.c_str(),
                  text(entry["value"]).c_str());
    } else if (kind == "insert") {
      std::printf("insert after %s: %s\n", nameText(entry["after"]).c_str(),
                  namesText(entry["rows"]).c_str());
    } else if (kind == "remove") {
      std::printf("remove %s\n", namesText(entry["rows"]).c_str());
    } else if (kind == "reload") {
      std::printf("reload %s\n", nameText(entry["row"]).c_str());
    } else if (kind == "present" && entry.contains("title")) {
      std::printf("present %s \"%s\": %s\n", alertStyleName(entry["style"]),
                  entry["title"].get<std::string>().c_str(),
                  entry["message"].get<std::string>().c_str());
      for (const json& action : entry["actions"]) {
        std::printf("  [%s] (%s)\n", action["title"].get<std::string>().c_str(),
                    actionStyleName(action["style"]));
      }
    } else if (kind == "store-failed") {
      std::printf("store failed: %s in %s: %s\n", entry.value("key", "").c_str(),
                  entry.value("file", "").c_str(), entry.value("reason", "").c_str());
    } else if (kind == "kept-aside") {
      std::printf("kept aside: %s as %s\n", entry.value("file", "").c_str(),
                  entry.value("aside", "").c_str());
    } else if (settings_sim::printPickEntry(entry)) {
    } else if (kind == "notify") {
      std::printf("notify %s\n", entry["name"].get<std::string>().c_str());
    } else if (printCellEntry(entry)) {
    } else {
      journal::Entry fields = entry;
      fields.erase("kind");
      fields.erase("t");
      std::printf("%s %s\n", kind.c_str(), fields.dump().c_str());
    }
  }

  const Options& options_;
  int line_ = 0;  // the script line running; 0 before the first
  id controller_;
  std::string title_;
  std::map<id, int> depths_;
  std::deque<std::vector<int>> shownDepths_;
  std::string storeFailure_;  // set when a value could not be stored
  journal::Sink also_;        // where each entry also goes (the studio's line host)
};

}  // namespace

std::string settingsHelp() {
  return "usage: plinka-sim settings [--device-root DIR] [--machine ID] [--system-version V]\n"
         "                           [--json] [--png FILE] --rows ROWS SCRIPT\n"
         "\n"
         "Builds the settings pane's list controller (ZELPreferenceController) on the row list\n"
         "ROWS (a Root.plist: XML, binary or old-style text) and runs SCRIPT (a file, or - for\n"
         "standard input): what the user does on the screen, and what the pane does in answer.\n"
         "Values are stored under the device root in\n"
         "/var/mobile/Library/Preferences/<defaults>.plist.\n"
         "\n"
         "options:\n"
         "  --device-root DIR     the folder that stands for the device's /; default: a fresh\n"
         "                        temporary copy of the example device, removed afterwards\n"
         "  --system-version V    the iOS version version-gated rows are checked against:\n"
         "                        dot-separated numbers, optionally a suffix (13.0b2); default "
         "14.4\n"
         "  --machine ID          the device model whose screen --png draws (default iPhone13,4)\n"
         "  --json                the journal as JSON lines, one object per entry\n"
         "  --png FILE            after the script, draws the pane as the Settings application\n"
         "                        shows it into FILE (PNG); no picture when the script fails\n"
         "  --rows ROWS           the row list (required)\n"
         "\n"
         "Script lines (a '#' that begins a word starts a comment; blank lines are ignored;\n"
         "the whole script is checked before anything runs):\n" +
         sim::describeLines(settings_sim::scriptLines()) +
         "\n"
         "An unreadable settings file is kept aside, never overwritten, and named on standard\n"
         "error.\n"
         "\n"
         "exit status: 0 done; 1 a row was not shown or a value could not be stored; 2 bad\n"
         "arguments or a bad script line.\n";
}

int settingsCommand(const Arguments& args) {
  Options options;
  std::string problem;
  if (!parseOptions(args, options, problem)) return argumentError(problem);
  std::error_code error;
  sim::TemporaryDevice temporary;
  if (options.deviceRoot.empty()) {
    std::string failure;
    if (!temporary.make(failure)) return sim::runtimeError(kName, failure);
    options.deviceRoot = temporary.path().string();
  } else if (!fs::is_directory(options.deviceRoot, error)) {
    return sim::runtimeError(kName, "the device root " + options.deviceRoot + " is not a folder",
                             2);
  }
  std::string scriptText;
  if (!readScript(options.script, scriptText)) {
    return sim::runtimeError(kName, "cannot read the script " + options.script, 2);
  }

  device::setRoot(options.deviceRoot);
  if (!options.systemVersion.empty()) device::setSystemVersion(options.systemVersion);
  const device::ScreenModel& screen = *device::screenOfMachine(options.machine);
  device::setMachine(screen.machine);
  device::setScreenScale(screen.scale);
  journal::clear();

  ns::AutoreleasePool pool;
  Class controllerClass = ZELPreferenceController::runtimeClass();
  if (controllerClass == Nil) {
    return sim::runtimeError(kName, "ZELPreferenceController is not registered");
  }
  ns::Ref controller = ns::Ref::adopt(msgSend(controllerClass, sel("new")));
  std::string title;
  id rows = preferences::loadRowList(options.rows, controller, &problem, &title);
  if (rows == nil) return sim::runtimeError(kName, problem, 2);
  ns::Ref fullList = ns::Ref::adopt(msgSend(rows, sel("copy")));

  settings_sim::Script script = settings_sim::parseScript(scriptText, fullList);
  if (!script.problems.empty()) {
    for (const settings_sim::Problem& bad : script.problems) {
      std::fprintf(stderr, "%s:%d: %s\n", options.script.c_str(), bad.line, bad.message.c_str());
    }
    return 2;
  }

  preferences::showRows(controller, rows);
  // The Settings application shows the pane's table in its window.
  ns::Ref window =
      ns::Ref::adopt(msgSend(msgSend(objc_getClass("UIWindow"), sel("alloc")),
                             sel("initWithFrame:"), CGRect{{0, 0}, {screen.width, screen.height}}));
  id table = msgSend(controller, sel("table"));
  msgSend<void>(window, sel("addSubview:"), table);
  Session session(options, controller, fullList, title);
  int status = session.start(script);
  // The controller and the rows go before the pool that holds the last of them.
  msgSend<void>(table, sel("removeFromSuperview"));
  msgSend<void>(controller, sel("setSpecifiers:"), id{nil});
  return status;
}

namespace settings_sim {
namespace {

class OpenPane : public PaneHost {
 public:
  OpenPane(Session& session, id fullList, const device::ScreenModel& screen)
      : session_(session), fullList_(fullList), screen_(screen) {}
  bool runLine(const std::string& line, std::string& problem) override {
    settings_sim::Script script = settings_sim::parseScript(line, fullList_);
    if (!script.problems.empty()) {
      problem = script.problems.front().message;
      return false;
    }
    for (const settings_sim::Command& command : script.commands) {
      if (!session_.runOne(command, problem)) return false;
    }
    return true;
  }
  Pane pane() override { return session_.pane(); }
  const device::ScreenModel& screen() const override { return screen_; }

 private:
  Session& session_;
  id fullList_;
  const device::ScreenModel& screen_;
};

}  // namespace

int hostPane(const Arguments& args, const journal::Sink& sink, const PaneHostServe& serve) {
  Options options;
  std::string problem;
  Arguments withScript = args;
  withScript.push_back("-");
  if (!parseOptions(withScript, options, problem)) return argumentError(problem);
  options.script = "studio";
  std::error_code error;
  if (!fs::is_directory(options.deviceRoot, error)) {
    return sim::runtimeError(kName, "the device root " + options.deviceRoot + " is not a folder",
                             2);
  }
  device::setRoot(options.deviceRoot);
  if (!options.systemVersion.empty()) device::setSystemVersion(options.systemVersion);
  const device::ScreenModel& screen = *device::screenOfMachine(options.machine);
  device::setMachine(screen.machine);
  device::setScreenScale(screen.scale);
  journal::clear();

  ns::AutoreleasePool pool;
  Class controllerClass = ZELPreferenceController::runtimeClass();
  if (controllerClass == Nil) {
    return sim::runtimeError(kName, "ZELPreferenceController is not registered");
  }
  ns::Ref controller = ns::Ref::adopt(msgSend(controllerClass, sel("new")));
  std::string title;
  id rows = preferences::loadRowList(options.rows, controller, &problem, &title);
  if (rows == nil) return sim::runtimeError(kName, problem, 2);
  ns::Ref fullList = ns::Ref::adopt(msgSend(rows, sel("copy")));
  preferences::showRows(controller, rows);
  ns::Ref window =
      ns::Ref::adopt(msgSend(msgSend(objc_getClass("UIWindow"), sel("alloc")),
                             sel("initWithFrame:"), CGRect{{0, 0}, {screen.width, screen.height}}));
  id table = msgSend(controller, sel("table"));
  msgSend<void>(window, sel("addSubview:"), table);
  Session session(options, controller, fullList, title);
  session.setEntrySink(sink);
  journal::Sink before =
      journal::exchangeSink([&session](const journal::Entry& entry) { session.print(entry); });
  session.open();
  OpenPane pane(session, fullList, screen);
  int status = serve(pane);
  journal::exchangeSink(std::move(before));
  msgSend<void>(table, sel("removeFromSuperview"));
  msgSend<void>(controller, sel("setSpecifiers:"), id{nil});
  return status;
}

}  // namespace settings_sim
