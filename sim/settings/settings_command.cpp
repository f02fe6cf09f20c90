// plinka-sim settings: the product's settings pane on a simulated Settings application.

#include <device/screen.h>

#include <filesystem>

#include "commands.h"
#include "example_device.h"
#include "help.h"
#include "settings_app.h"
#include "settings_options.h"
#include "settings_session.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kName = "settings";

}  // namespace

std::string settingsHelp() {
  return "usage: plinka-sim settings [--device-root DIR] [--machine ID] [--system-version V]\n"
         "                           [--json] [--png FILE] [--appearance light|dark]\n"
         "                           [--rows ROWS | --pane NAME] SCRIPT\n"
         "\n"
         "Opens the settings pane installed on the device as the Settings application of a\n"
         "jailbroken device does: its entry plist in /var/LIY/PreferenceLoader/Preferences/\n"
         "names a bundle in /var/LIY/PreferenceBundles/, whose Info.plist names the executable\n"
         "(CFBundleExecutable, loaded) and the controller class (NSPrincipalClass, a\n"
         "PSListController subclass), whose -specifiers are shown. With --rows, a bare\n"
         "ZELPreferenceController on the row list ROWS (a Root.plist: XML, binary or old-style\n"
         "text) instead. Then runs SCRIPT (a file, or - for standard input): what the user does\n"
         "on the screen, and what the pane does in answer.\n"
         "Values are stored under the device root in\n"
         "/var/mobile/Library/Preferences/<defaults>.plist.\n"
         "\n"
         "options:\n"
         "  --device-root DIR     the folder that stands for the device's /; default: a fresh\n"
         "                        temporary copy of the example device, removed afterwards\n"
         "  --system-version V    the iOS version version-gated rows are checked against:\n"
         "                        dot-separated numbers, optionally a suffix (13.0b2); default "
         "14.4\n"
         "  --machine ID          the device model whose screen pictures are drawn for\n"
         "                        (default iPhone13,4)\n"
         "  --appearance A        light or dark: the appearance pictures are drawn in, with\n"
         "                        the system's colours for it (default light)\n"
         "  --json                the journal as JSON lines, one object per entry\n"
         "  --png FILE            after the script, draws the screen as the Settings\n"
         "                        application shows it into FILE (PNG), as snapshot does: the\n"
         "                        page on top, an alert or the picker over it; no picture when\n"
         "                        the script fails; a FILE that cannot be written stops the\n"
         "                        command before the script runs (exit status 1)\n"
         "  --rows ROWS           a bare row list instead of the installed pane\n"
         "  --pane NAME           which installed pane, by its entry's label or file name;\n"
         "                        needed when several are installed (without it they are\n"
         "                        listed, exit status 2)\n"
         "\n"
         "Script lines (a '#' that begins a word starts a comment; blank lines are ignored;\n"
         "the whole script is checked before anything runs):\n" +
         sim::describeLines(settings_sim::scriptLines()) +
         "\n"
         "An unreadable settings file is kept aside, never overwritten, and named on standard\n"
         "error.\n"
         "\n"
         "exit status: 0 done; 1 a row was not shown or not on the page on top, a value its\n"
         "data source does not offer, a page that could not be pushed or popped, a value that\n"
         "could not be stored, or the pane's controller raised or answered no rows; 2 bad\n"
         "arguments, a bad script line (a value the row list shows the row does not take), or\n"
         "a pane installed wrong (entry, bundle, Info.plist, executable, principal class).\n";
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

  ns::AutoreleasePool pool;
  settings_sim::SettingsApp app;
  if (int status = app.open(options); status != 0) return status;
  settings_sim::Script script = settings_sim::parseScript(scriptText, app.fullList());
  if (!script.problems.empty()) {
    settings_sim::reportProblems(options.script, script.problems);
    return 2;
  }
  app.show();
  settings_sim::Session session(
      {options.script, options.json, app.title(), options.machine, options.appearance},
      app.controller(), app.fullList());
  int status = session.open();
  if (status == 0) status = session.run(script);
  if (status == 0 && !options.png.empty())
    status = session.drawPicture(*device::screenOfMachine(options.machine), options.png);
  return status;
}
