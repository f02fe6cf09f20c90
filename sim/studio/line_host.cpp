// plinka-sim studio-host settings|springboard ...: a host of the studio, one line at a time.
//
// Requests, one JSON object a line on standard input:
//   {"line": TEXT, "clockMs": N}          check and run one script line at the studio's clock
//   {"screen": PNG-FILE, "scale": S}      (settings) draw the pane into PNG-FILE at scale S
//   {"frames": true}                      (settings) the shown rows and where they lie
// Answers on descriptor 3 (host_process.h): "J" entries as they are made, then "A" and
// {"ok", "error", "output", ...}. A home-screen host answers its device state with every line,
// and {"respring": true} for a checked `launch`, which the studio answers with a new process.
#include <Foundation/ObjectState.h>
#include <Preferences/Preferences.h>
#include <device/device.h>
#include <device/journal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "commands.h"
#include "line_request.h"
#include "scenario.h"
#include "session.h"
#include "settings/pane_host.h"
#include "settings/pane_picture.h"
#include "timeline.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr int kAnswers = 3;

void writeAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) _exit(1);  // the studio is gone
    done += static_cast<size_t>(n);
  }
}

void sendEntry(const journal::Entry& entry) {
  writeAll(kAnswers, "J" + entry.dump() + "\n");
}
void sendAnswer(const Json& answer) {
  writeAll(kAnswers, "A" + answer.dump() + "\n");
}

Json answer(bool ok, const std::string& error, const std::string& output) {
  return {{"ok", ok}, {"error", ok ? Json() : Json(error)}, {"output", output}};
}

// What the host prints on standard output, caught line by line for the answer.
class CapturedOutput {
 public:
  CapturedOutput() {
    fd_ = memfd_create("plinka-host-output", MFD_CLOEXEC);
    if (fd_ >= 0) dup2(fd_, 1);
  }
  std::string take() {
    std::fflush(stdout);
    std::cout.flush();
    std::string text;
    off_t size = lseek(1, 0, SEEK_CUR);
    text.resize(size > 0 ? static_cast<size_t>(size) : 0);
    if (size > 0 && pread(fd_, text.data(), text.size(), 0) != size) text.clear();
    if (ftruncate(fd_, 0) != 0 || lseek(1, 0, SEEK_SET) != 0) text.clear();
    return text;
  }

 private:
  int fd_ = -1;
};

// --- the home screen ----------------------------------------------------------------------

Json stateJson(const springboard::DeviceState& d) {
  return {{"onAC", d.onAC},         {"battery", d.battery},
          {"locked", d.locked},     {"ringerOn", d.ringerOn},
          {"clockMs", d.clockMs},   {"leftOut", d.leftOut},
          {"launches", d.launches}, {"initAnswersAnother", d.initAnswersAnother}};
}

springboard::DeviceState stateFrom(const Json& j) {
  springboard::DeviceState d;
  d.onAC = j.value("onAC", false);
  d.battery = j.value("battery", 1L);
  d.locked = j.value("locked", false);
  d.ringerOn = j.value("ringerOn", true);
  d.clockMs = j.value("clockMs", int64_t{0});
  if (j.contains("leftOut")) d.leftOut = j["leftOut"].get<std::set<std::string>>();
  d.launches = j.value("launches", 0);
  d.initAnswersAnother = j.value("initAnswersAnother", false);
  return d;
}

int hostHomeScreen(const Arguments& args) {
  springboard::SessionOptions options;
  Json state = Json::object();
  for (size_t i = 0; i + 1 < args.size(); i += 2) {
    if (args[i] == "--device-root") options.deviceRoot = args[i + 1];
    if (args[i] == "--tweak-dir") options.tweakDir = args[i + 1];
    if (args[i] == "--state") state = Json::parse(args[i + 1], nullptr, false);
  }
  if (options.deviceRoot.empty() || options.tweakDir.empty() || state.is_discarded()) {
    std::fprintf(stderr, "plinka-sim studio-host: springboard needs --device-root, --tweak-dir\n");
    return 2;
  }
  CapturedOutput output;
  springboard::DeviceState device = stateFrom(state);
  std::set<std::string> leftOutNow = device.leftOut;  // this launch leaves these out
  std::set<std::string> leftOutNext;
  std::string timeline;
  journal::clear();
  journal::exchangeSink([&](const journal::Entry& entry) {
    sendEntry(entry);
    timeline += springboard::timelineLine(entry) + "\n";
  });
  springboard::HomeScreen home(options, device);
  {
    ns::AutoreleasePool pool;
    std::string error;
    bool launched = home.launch(error);
    home.saveDeviceState();
    Json first = answer(launched, error, timeline + output.take());
    first["state"] = stateJson(device);
    sendAnswer(first);
    if (!launched) return 1;
  }
  for (std::string text; std::getline(std::cin, text);) {
    Json request = Json::parse(text, nullptr, false);
    timeline.clear();
    if (!request.is_object() || !request.contains("line") || !request["line"].is_string()) {
      sendAnswer(answer(false, "a request is {\"line\": TEXT}", ""));
      continue;
    }
    // The studio's clock, which the Settings application may have seen move.
    home.saveDeviceState();
    if (request.contains("clockMs") && request["clockMs"].is_number_integer()) {
      device.clockMs = request["clockMs"].get<int64_t>();
    }
    home.loadDeviceState();
    std::string error;
    std::optional<springboard::Command> command = studio::checkScenarioLine(
        request["line"].get<std::string>(), leftOutNow, leftOutNext, error);
    if (!command) {
      Json refused = answer(false, error, "");
      refused["state"] = stateJson(device);
      sendAnswer(refused);
      continue;
    }
    bool done = true;
    bool respring = false;
    if (command->line == 0) {
      // a blank line or a comment: nothing to do
    } else if (command->op == springboard::Op::Launch) {
      respring = true;
    } else {
      ns::AutoreleasePool pool;
      done = home.run(*command, error);
      if (command->op == springboard::Op::Without) leftOutNext.insert(command->name);
      if (command->op == springboard::Op::Register) leftOutNow.erase(command->name);
    }
    home.saveDeviceState();
    Json reply = answer(done, error, timeline + output.take());
    reply["state"] = stateJson(device);
    if (respring) reply["respring"] = true;
    sendAnswer(reply);
  }
  return 0;
}

// --- the Settings application -----------------------------------------------------------

int hostSettings(const Arguments& args) {
  CapturedOutput output;
  return settings_sim::hostPane(args, sendEntry, [&](settings_sim::PaneHost& pane) {
    sendAnswer(answer(true, "", output.take()));
    for (std::string text; std::getline(std::cin, text);) {
      Json request = Json::parse(text, nullptr, false);
      if (!request.is_object()) {
        sendAnswer(answer(false, "a request is a JSON object", ""));
        continue;
      }
      if (request.contains("clockMs") && request["clockMs"].is_number_integer()) {
        device::setNowMs(request["clockMs"].get<int64_t>());
      }
      try {
        if (request.contains("line") && request["line"].is_string()) {
          std::string line = request["line"].get<std::string>();
          std::string problem;
          bool done = false;
          if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos) {
            problem = "one line at a time: the text holds a line break";
          } else {
            done = pane.runLine(line, problem);
          }
          sendAnswer(answer(done, problem, output.take()));
        } else if (request.contains("screen") && request["screen"].is_string()) {
          ns::AutoreleasePool pool;
          device::ScreenModel screen = pane.screen();
          screen.scale = request.value("scale", screen.scale);
          std::string problem;
          bool done = settings_sim::writePanePicture(pane.pane(), screen,
                                                     request["screen"].get<std::string>(), problem);
          sendAnswer(answer(done, problem, ""));
        } else if (request.contains("frames")) {
          ns::AutoreleasePool pool;
          settings_sim::Pane shown = pane.pane();
          Json rows = Json::array();
          for (const settings_sim::RowFrame& frame :
               settings_sim::rowFrames(shown, pane.screen())) {
            const settings_sim::ShownRow& row = shown.rows[frame.index];
            id value = row.group ? nil : msgSend(row.row, sel("performGetter"));
            Json shownValue = row.switchedOn ? Json(*row.switchedOn) : ns::toJson(value);
            rows.push_back(
                {{"label", row.label},
                 {"type", preferences::cellTypeName(msgSend<PSCellType>(row.row, sel("cellType")))},
                 {"value", shownValue},
                 {"x", frame.x},
                 {"y", frame.y},
                 {"width", frame.width},
                 {"height", frame.height}});
          }
          Json reply = answer(true, "", "");
          reply["title"] = shown.title;
          reply["width"] = pane.screen().width;
          reply["rows"] = rows;
          if (shown.alert) {
            Json actions = Json::array();
            for (const auto& action : shown.alert->actions) actions.push_back(action.title);
            reply["presented"] = {{"kind", "alert"},
                                  {"title", shown.alert->title},
                                  {"message", shown.alert->message},
                                  {"actions", actions}};
          } else {
            reply["presented"] = nullptr;
          }
          sendAnswer(reply);
        } else {
          sendAnswer(answer(false, "unknown request", ""));
        }
      } catch (const ns::Exception& raised) {
        std::string why = "the Settings application ended: uncaught exception '" + raised.name() +
                          "', reason: '" + raised.reason() + "'";
        Json reply = answer(false, why, output.take());
        reply["ended"] = true;
        sendAnswer(reply);
        std::fflush(nullptr);
        _exit(1);
      }
    }
    return 0;
  });
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
