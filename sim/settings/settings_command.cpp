// plinka-sim settings: the product's settings pane on a simulated Settings application.
#include <Foundation/ObjectState.h>
#include <Preferences/Preferences.h>
#include <device/device.h>
#include <device/journal.h>
#include <device/screen.h>
#include <pkprefs3/ZELPreferenceController.h>

#include <cstdio>
#include <filesystem>

#include "commands.h"
#include "example_device.h"
#include "help.h"
#include "settings_options.h"
#include "settings_session.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kName = "settings";

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
         "                        shows it into FILE (PNG); no picture when the script fails;\n"
         "                        a FILE that cannot be written stops the command before the\n"
         "                        script runs (exit status 1)\n"
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
  settings_sim::Options options;
  std::string problem;
  std::string outputProblem;
  if (!settings_sim::parseOptions(args, options, problem, outputProblem)) {
    return sim::argumentError(kName, problem);
  }
  if (!outputProblem.empty()) return sim::runtimeError(kName, outputProblem);
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
  if (!settings_sim::readScript(options.script, scriptText)) {
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
    settings_sim::reportProblems(options.script, script.problems);
    return 2;
  }

  preferences::showRows(controller, rows);
  // The Settings application shows the pane's table in its window.
  ns::Ref window =
      ns::Ref::adopt(msgSend(msgSend(objc_getClass("UIWindow"), sel("alloc")),
                             sel("initWithFrame:"), CGRect{{0, 0}, {screen.width, screen.height}}));
  id table = msgSend(controller, sel("table"));
  msgSend<void>(window, sel("addSubview:"), table);
  int status = 0;
  {
    settings_sim::Session session({options.script, options.json, title}, controller, fullList);
    status = session.open();
    if (status == 0) status = session.run(script);
    if (status == 0 && !options.png.empty())
      status = session.drawPicture(options.machine, options.png);
  }
  // The controller and the rows go before the pool that holds the last of them.
  msgSend<void>(table, sel("removeFromSuperview"));
  msgSend<void>(controller, sel("setSpecifiers:"), id{nil});
  return status;
}
