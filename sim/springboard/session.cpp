#include "session.h"

#include <Foundation/Foundation.h>
#include <device/device.h>

#include <cstdio>

#include "child_process.h"

namespace springboard {
namespace {

// The channel's lines, child to session: "J" + a journal entry, "C" + the scenario line about
// to run, "S" + the device state at the end, "E" + an error that ends the process. Journal
// entries are sent as they are made, in batches, so the process keeps none of them.

// The body of a home-screen process: runs `commands` (the first is the launch) and reports
// back on `out`; answers the process's exit status.
int runProcess(const std::vector<const Command*>& commands, const SessionOptions& options,
               DeviceState device, child_process::LineWriter& out) {
  auto send = [&out](char tag, const std::string& text) {
    out.line(tag + text);
    out.flush();
  };
  journal::clear();
  journal::exchangeSink([&out](const journal::Entry& e) { out.line('J' + e.dump()); });
  {
    HomeScreen home(options, device);
    for (const Command* command : commands) {
      send('C', std::to_string(command->line));
      ns::AutoreleasePool pool;
      if (std::string error; !home.runLine(*command, error)) {
        send('E', error);
        return 1;
      }
      out.flush();
    }
    home.saveDeviceState();
  }
  send('S', toJson(device).dump());
  journal::clear();  // before the leak check: the journal is not a leak
  return 0;
}

// Runs one process in a child and gathers what it reports.
bool runChild(const std::vector<const Command*>& commands, const Scenario& scenario,
              const SessionOptions& options, DeviceState& device, const journal::Sink& sink,
              SessionResult& result) {
  std::string lastLine;
  std::string error;
  bool finished = false;
  child_process::Outcome outcome = child_process::run(
      [&](child_process::LineWriter& out) { return runProcess(commands, options, device, out); },
      [&](const std::string& line) {
        if (line.empty()) return;
        std::string body = line.substr(1);
        switch (line[0]) {
          case 'J':
            sink(journal::Entry::parse(body));
            break;
          case 'C':
            lastLine = body;
            break;
          case 'E':
            error = body;
            break;
          case 'S':
            device = deviceStateFromJson(nlohmann::json::parse(body));
            finished = true;
            break;
        }
      });
  std::string where = scenario.name + ":" + lastLine;
  if (!outcome.started()) {
    result.error = "cannot start a home-screen process: " + outcome.startError;
  } else if (!error.empty()) {
    result.error = where + ": " + error;
  } else if (!outcome.exited) {
    result.error = where + ": the home-screen process " + child_process::describe(outcome);
  } else if (outcome.leaked) {
    result.error = scenario.name + ": the home-screen process leaked memory";
  } else if (!finished || outcome.exitStatus != 0) {
    result.error = where + ": the home-screen process ended unexpectedly";
  }
  return result.error.empty();
}

}  // namespace

SessionResult runSession(const Scenario& scenario, const SessionOptions& options,
                         const journal::Sink& sink) {
  SessionResult result;
  DeviceState device;
  device::setRoot(options.deviceRoot);
  journal::clear();
  journal::Sink before = journal::exchangeSink(sink);
  device::setRingerOn(device.ringerOn);
  const auto& commands = scenario.commands;
  size_t i = 0;
  while (i < commands.size() && result.exitStatus == 0) {
    if (commands[i].op != Op::Launch) {
      device::setNowMs(device.clockMs);
      std::string error;
      if (!runDeviceLine(commands[i], device, error)) {
        result.exitStatus = 1;
        result.error = scenario.name + ":" + std::to_string(commands[i].line) + ": " + error;
      }
      ++i;
      continue;
    }
    std::vector<const Command*> process;
    do {
      process.push_back(&commands[i++]);
    } while (i < commands.size() && commands[i].op != Op::Launch);
    if (!runChild(process, scenario, options, device, sink, result)) result.exitStatus = 1;
  }
  journal::exchangeSink(std::move(before));
  return result;
}

SessionResult runSession(const Scenario& scenario, const SessionOptions& options) {
  std::vector<journal::Entry> entries;
  SessionResult result =
      runSession(scenario, options, [&](const journal::Entry& e) { entries.push_back(e); });
  result.journal = std::move(entries);
  return result;
}

}  // namespace springboard
