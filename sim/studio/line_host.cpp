// plinka-sim studio-host settings|springboard ...: a host of the studio, one line at a time.
//
// Requests, one JSON object a line on standard input:
//   {"line": TEXT, "clockMs": N}          check and run one script line at the studio's clock
//   {"screen": PNG-FILE, "scale": S, "appearance": "light"|"dark"}
//                                          (settings) draw the screen into PNG-FILE at scale S
//   {"frames": true}                      (settings) the page on top, its rows and where they
//                                         lie, and what is presented over it
// Answers on descriptor 3 (host_process.h): "J" entries as they are made, then "A" and
// {"ok", "error", "output", ...}. Each line is checked and run by the command's own single-line
// path: Session::runLine for the Settings application, ScenarioParser::parseLine and
// HomeScreen::runLine for the home screen. A home-screen process answers the device state and
// what its parser knows with every line, and {"respring": true} for a checked `launch`, which
// the studio answers with a new process that runs the launch.
#include <Foundation/ObjectState.h>
#include <Preferences/Preferences.h>
#include <UIKit/UITableViewCell.h>
#include <device/device.h>
#include <device/journal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>

#include "child_process.h"
#include "commands.h"
#include "home_screen.h"
#include "line_request.h"
#include "scenario.h"
#include "settings/picker.h"
#include "settings/row_text.h"
#include "settings/settings_app.h"
#include "settings/settings_options.h"
#include "settings/settings_session.h"
#include "timeline.h"

namespace {

using Json = nlohmann::ordered_json;

// The channel to the studio (descriptor 3). Entries wait in the writer until the answer that
// ends their request sends them all.
child_process::LineWriter& channel() {
  static child_process::LineWriter writer(3);
  return writer;
}

// An entry goes with what the command prints for it (`printed`, taken off again by the studio
// before the entry reaches a line's answer): the page's journal shows it as the command does.
void sendEntry(const journal::Entry& entry, const std::string& printed) {
  journal::Entry sent = entry;
  sent["printed"] = printed;
  channel().line("J" + sent.dump());
}
void sendAnswer(const Json& answer) {
  channel().line("A" + answer.dump());
  channel().flush();
}

Json answer(bool ok, const std::string& error, const std::string& output) {
  return {{"ok", ok}, {"error", ok ? Json() : Json(error)}, {"output", output}};
}

// What the host prints on standard output, caught for the answer of the request that printed it.
class CapturedOutput {
 public:
  CapturedOutput() {
    fd_ = memfd_create("plinka-host-output", MFD_CLOEXEC);
    if (fd_ >= 0) dup2(fd_, 1);
  }
  std::string take() {
    std::string text = since(0);
    if (ftruncate(fd_, 0) != 0 || lseek(1, 0, SEEK_SET) != 0) text.clear();
    return text;
  }
  // Where the next output goes, and what was printed from there on (kept for take()).
  off_t mark() {
    flush();
    return lseek(1, 0, SEEK_CUR);
  }
  std::string since(off_t from) {
    off_t end = mark();
    std::string text;
    if (from < 0 || end <= from) return text;
    text.resize(static_cast<size_t>(end - from));
    if (pread(fd_, text.data(), text.size(), from) != end - from) text.clear();
    return text;
  }

 private:
  static void flush() {
    std::fflush(stdout);
    std::cout.flush();
  }

  int fd_ = -1;
};

// The next request; nothing at the end of standard input (the studio has gone or stops us).
std::optional<Json> nextRequest() {
  for (std::string text; std::getline(std::cin, text);) {
    Json request = Json::parse(text, nullptr, false);
    if (request.is_object()) return request;
    sendAnswer(answer(false, "a request is a JSON object", ""));
  }
  return std::nullopt;
}

// --- the home screen ----------------------------------------------------------------------

Json parserJson(const springboard::ScenarioParser::State& state) {
  return {{"running", state.running},
          {"leftOutNow", state.leftOutNow},
          {"leftOutNext", state.leftOutNext}};
}

springboard::ScenarioParser::State parserState(const Json& j) {
  springboard::ScenarioParser::State state;
  state.running = j.value("running", false);
  if (j.contains("leftOutNow")) state.leftOutNow = j["leftOutNow"].get<std::set<std::string>>();
  if (j.contains("leftOutNext")) state.leftOutNext = j["leftOutNext"].get<std::set<std::string>>();
  return state;
}

// Arguments: --device-root DIR --tweak-dir DIR --state DEVICE-STATE --parser PARSER-STATE, the
// states as an earlier process answered them (the parser's as it was before the launch).
int hostHomeScreen(const Arguments& args) {
  springboard::SessionOptions options;
  Json state = Json::object();
  Json parser = Json::object();
  for (size_t i = 0; i + 1 < args.size(); i += 2) {
    if (args[i] == "--device-root") options.deviceRoot = args[i + 1];
    if (args[i] == "--tweak-dir") options.tweakDir = args[i + 1];
    if (args[i] == "--state") state = Json::parse(args[i + 1], nullptr, false);
    if (args[i] == "--parser") parser = Json::parse(args[i + 1], nullptr, false);
  }
  if (options.deviceRoot.empty() || options.tweakDir.empty() || !state.is_object() ||
      !parser.is_object()) {
    std::fprintf(stderr,
                 "plinka-sim studio-host: springboard needs --device-root, --tweak-dir, "
                 "--state and --parser\n");
    return 2;
  }
  CapturedOutput output;
  springboard::DeviceState device = springboard::deviceStateFromJson(state);
  constexpr const char* kName = "studio";
  springboard::ScenarioParser lines(kName, parserState(parser));
  std::string timeline;
  journal::clear();
  journal::exchangeSink([&](const journal::Entry& entry) {
    std::string line = springboard::timelineLine(entry);
    sendEntry(entry, line);
    timeline += line + "\n";
  });
  springboard::HomeScreen home(options, device);
  auto reply = [&](bool ok, const std::string& error) {
    home.saveDeviceState();
    Json answered = answer(ok, error, timeline + output.take());
    answered["state"] = springboard::toJson(device);
    answered["parser"] = parserJson(lines.state());
    timeline.clear();
    return answered;
  };
  int number = 0;
  {
    // The launch that started this process.
    std::vector<springboard::Command> launch;
    std::string error;
    lines.parseLine("launch", number, launch, error);
    ns::AutoreleasePool pool;
    bool launched = home.runLine(launch.front(), error);
    sendAnswer(reply(launched, error));
    if (!launched) return 1;
  }
  while (std::optional<Json> request = nextRequest()) {
    if (!request->contains("line") || !(*request)["line"].is_string()) {
      sendAnswer(reply(false, "a request is {\"line\": TEXT}"));
      continue;
    }
    std::string text = (*request)["line"].get<std::string>();
    // The studio's clock, which the Settings application may have seen move.
    if ((*request)["clockMs"].is_number_integer()) {
      device::setNowMs((*request)["clockMs"].get<int64_t>());
    }
    springboard::ScenarioParser::State before = lines.state();
    std::vector<springboard::Command> commands;
    std::string error;
    if (studio::holdsLineBreak(text)) {
      sendAnswer(reply(false, studio::kOneLine));
    } else if (!lines.parseLine(text, ++number, commands, error)) {
      sendAnswer(reply(false, studio::withoutPlace(error, kName, number)));
    } else if (commands.empty()) {
      sendAnswer(reply(true, ""));  // a blank line or a comment
    } else if (commands.front().op == springboard::Op::Launch) {
      // A respring: this process ends, and the next one runs the launch from here.
      Json respring = reply(true, "");
      respring["parser"] = parserJson(before);
      respring["respring"] = true;
      sendAnswer(respring);
      return 0;
    } else {
      ns::AutoreleasePool pool;
      bool done = home.runLine(commands.front(), error);
      sendAnswer(reply(done, error));
    }
  }
  return 0;
}

// --- the Settings application -----------------------------------------------------------

// What the page needs to put a control where the cell's control is drawn: a segmented
// control's titles (its segments share the row between the margins), a slider's bounds and
// whether its value is shown at its right.
void describeControl(id cell, Json& described) {
  if (cell == nil || !msgSend<BOOL>(cell, sel("respondsToSelector:"), sel("control"))) return;
  id control = msgSend(cell, sel("control"));
  if (ns::isKindOf(control, "UISegmentedControl")) {
    Json titles = Json::array();
    auto count = msgSend<NSUInteger>(control, sel("numberOfSegments"));
    for (NSUInteger i = 0; i < count; ++i) {
      id title = msgSend(control, sel("titleForSegmentAtIndex:"), i);
      titles.push_back(title != nil ? ns::utf8(title) : "");
    }
    described["segments"] = titles;
  } else if (ns::isKindOf(control, "UISlider")) {
    described["min"] = msgSend<float>(control, sel("minimumValue"));
    described["max"] = msgSend<float>(control, sel("maximumValue"));
    bool shown = false;
    if (msgSend<BOOL>(cell, sel("respondsToSelector:"), sel("valueLabel"))) {
      id label = msgSend(cell, sel("valueLabel"));
      id text = label != nil ? msgSend(label, sel("text")) : nil;
      shown = text != nil && !ns::utf8(text).empty();  // as the picture draws it
    }
    described["valueShown"] = shown;
  }
}

// The page on top as /api/screen describes it: its title, the back button's, its rows with
// where they lie, and what is presented over it.
Json describeScreen(const settings_sim::Session& session, id root,
                    const device::ScreenModel& screen) {
  settings_sim::Pane shown = session.pane();
  Json rows = Json::array();
  for (const settings_sim::RowFrame& frame : settings_sim::rowFrames(shown, screen)) {
    const settings_sim::ShownRow& row = shown.rows[frame.index];
    PSCellType type = msgSend<PSCellType>(row.row, sel("cellType"));
    Json value;
    if (row.switchedOn) {
      value = *row.switchedOn;
    } else if (type == PSListItemCell) {
      value = ns::toJson(settings_sim::attribute(row.row, "value"));
    } else if (!row.group) {
      value = ns::toJson(msgSend(row.row, sel("performGetter")));
    }
    // A choice of a list page has no label: it is named by its title.
    std::string label = row.label;
    if (label.empty() && !row.group) label = ns::utf8(msgSend(row.row, sel("name")));
    Json described = {{"label", label},        {"type", preferences::cellTypeName(type)},
                      {"value", value},        {"x", frame.x},
                      {"y", frame.y},          {"width", frame.width},
                      {"height", frame.height}};
    if (type == PSListItemCell && row.cell != nil) {
      described["checked"] =
          msgSend<NSInteger>(row.cell, sel("accessoryType")) == UITableViewCellAccessoryCheckmark;
    }
    describeControl(row.cell, described);
    if (ns::isKindOf(row.cell, "ZELImagePickerCell")) {
      described["preview"] = settings_sim::previewOf(row.cell);
    }
    rows.push_back(std::move(described));
  }
  Json pages = Json::array();
  std::vector<id> stack = preferences::navigationStack(root);
  for (size_t i = 1; i < stack.size(); ++i) {
    pages.push_back(
        {{"title", preferences::pageTitle(stack[i])}, {"controller", ns::className(stack[i])}});
  }
  Json presented;
  if (shown.alert) {
    Json actions = Json::array();
    // The user's next line closes the alert with its cancel action (the first when none is).
    size_t closing = 0;
    for (size_t i = 0; i < shown.alert->actions.size(); ++i) {
      actions.push_back(shown.alert->actions[i].title);
      if (shown.alert->actions[i].style == UIAlertActionStyleCancel) closing = i;
    }
    presented = {{"kind", "alert"},
                 {"title", shown.alert->title},
                 {"message", shown.alert->message},
                 {"actions", actions},
                 {"closingAction", closing}};
  } else if (id picker = settings_sim::presentedPicker(root); picker != nil) {
    // What the picker offers, as its grid shows it: a picture-only picker has no videos.
    Json items = Json::array();
    for (const settings_sim::PickerItem& item : settings_sim::pickerSheet(picker).items) {
      Json offered = {{"name", item.name}, {"video", item.video}};
      if (item.video) offered["duration"] = item.duration ? Json(*item.duration) : Json();
      items.push_back(std::move(offered));
    }
    presented = {{"kind", "picker"}, {"controller", ns::className(picker)}, {"items", items}};
  }
  Json described = answer(true, "", "");
  described["title"] = shown.title;
  described["back"] = shown.backTitle.empty() ? Json() : Json(shown.backTitle);
  described["pages"] = pages;
  described["width"] = screen.width;
  described["rows"] = rows;
  described["presented"] = presented;
  return described;
}

// Arguments: the options of `plinka-sim settings` but a script.
int hostSettings(const Arguments& args) {
  settings_sim::Options options;
  std::string problem;
  std::string outputProblem;
  Arguments withScript = args;
  withScript.push_back("-");
  if (!settings_sim::parseOptions(withScript, options, problem, outputProblem)) {
    return sim::argumentError("settings", problem);
  }
  CapturedOutput output;
  ns::AutoreleasePool pool;
  settings_sim::SettingsApp app;
  if (int status = app.open(options); status != 0) return status;
  app.show();
  settings_sim::SessionSetup setup{"studio", false, app.title(), options.machine,
                                   options.appearance};
  setup.problems = [&problem](const std::string& message) { problem = message; };
  setup.wholeRows = true;  // the studio's journal listener takes the rows as one entry
  settings_sim::Session session(std::move(setup), app.controller(), app.fullList());
  // Every entry the session prints goes to the studio too.
  journal::Sink printing = journal::exchangeSink(nullptr);
  journal::exchangeSink([printing = std::move(printing), &output](const journal::Entry& entry) {
    off_t from = output.mark();
    printing(entry);
    std::string printed = output.since(from);
    if (!printed.empty() && printed.back() == '\n') printed.pop_back();
    sendEntry(entry, printed);
  });
  problem.clear();
  int status = session.open();
  sendAnswer(answer(status == 0, problem, output.take()));
  if (status != 0) return 1;
  const device::ScreenModel& screen = *device::screenOfMachine(options.machine);
  int number = 0;
  while (std::optional<Json> request = nextRequest()) {
    if ((*request)["clockMs"].is_number_integer()) {
      device::setNowMs((*request)["clockMs"].get<int64_t>());
    }
    problem.clear();
    // Another process (the home screen) may have stored values since the last request: the
    // application hears of it, as the device's preferences daemon tells it.
    preferences::forgetStoredValues();
    if (request->contains("line") && (*request)["line"].is_string()) {
      std::string text = (*request)["line"].get<std::string>();
      if (studio::holdsLineBreak(text)) {
        sendAnswer(answer(false, studio::kOneLine, ""));
        continue;
      }
      status = session.runLine(text, ++number);
      Json done = answer(status == 0, problem, output.take());
      if (!session.running()) {
        // The application ended: it is started again by the studio.
        done["ended"] = true;
        sendAnswer(done);
        std::fflush(nullptr);
        _exit(1);
      }
      sendAnswer(done);
    } else if (request->contains("screen") && (*request)["screen"].is_string()) {
      device::ScreenModel scaled = screen;
      scaled.scale = request->value("scale", screen.scale);
      settings_sim::Appearance appearance = request->value("appearance", "light") == "dark"
                                                ? settings_sim::Appearance::Dark
                                                : settings_sim::Appearance::Light;
      status = session.drawPicture(scaled, (*request)["screen"].get<std::string>(), appearance);
      sendAnswer(answer(status == 0, problem, output.take()));
    } else if (request->contains("frames")) {
      ns::AutoreleasePool framesPool;
      sendAnswer(describeScreen(session, app.controller(), screen));
    } else {
      sendAnswer(answer(false, "unknown request", ""));
    }
  }
  return 0;
}

}  // namespace

int studioHostCommand(const Arguments& args) {
  if (args.empty()) return 2;
  Arguments rest(args.begin() + 1, args.end());
  if (args[0] == "springboard") return hostHomeScreen(rest);
  if (args[0] == "settings") return hostSettings(rest);
  std::fprintf(stderr, "plinka-sim studio-host: settings or springboard\n");
  return 2;
}
