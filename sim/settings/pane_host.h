// The settings pane held open on the Settings application and run one script line at a time:
// what the studio's Settings host serves. A line is checked and run by the same code as a line
// of `plinka-sim settings SCRIPT`.
#pragma once

#include <device/journal.h>
#include <device/screen.h>

#include <functional>
#include <string>

#include "commands.h"
#include "pane_picture.h"

namespace settings_sim {

class PaneHost {
 public:
  virtual ~PaneHost() = default;
  // Checks one script line against the pane's rows and runs it; false, with `problem` (the
  // script's message, without FILE:LINE), when it is refused or could not be done. An
  // exception the platform raises is not caught: it ends the Settings application.
  virtual bool runLine(const std::string& line, std::string& problem) = 0;
  // What the screen shows now, as --png draws it.
  virtual Pane pane() = 0;
  virtual const device::ScreenModel& screen() const = 0;
};

using PaneHostServe = std::function<int(PaneHost&)>;

// Opens the pane as `plinka-sim settings ARGS` does (its options, without a script), each
// journal entry going to `sink` as it is made and the command's text to standard output, and
// hands it to `serve`; answers serve's status, or the command's on a bad option or row list.
int hostPane(const Arguments& args, const journal::Sink& sink, const PaneHostServe& serve);

}  // namespace settings_sim
