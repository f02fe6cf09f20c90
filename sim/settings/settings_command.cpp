// plinka-sim settings: the product's settings pane on a simulated Settings application.

#include <device/screen.h>

#include <filesystem>

#include "commands.h"
#include "example_device.h"
#include "help.h"
#include "orders.h"
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
         "       plinka-sim settings --explore [--max-orders N | --sample N [--seed S]]\n"
         "                           [options] SCRIPT\n"
         "       plinka-sim settings --kill-points [options] SCRIPT\n"
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
         "  --explore             runs the script once for every order its held work can\n"
         "                        run in, depth first, each order in a process of its own on\n"
         "                        a fresh copy of the device (the device root is not changed):\n"
         "                        held work runs item by item where the script runs it (run\n"
         "                        all, release) and at its end, work it schedules included;\n"
         "                        main-queue and serial-queue work keeps its order. Each end\n"
         "                        state (the settings stores by content, every other file and\n"
         "                        folder under the device root, each picker row's preview) is\n"
         "                        compared with the one the script leaves without hold (each\n"
         "                        line's work finished before the next line). Prints each\n"
         "                        order that ends differently (its items: number and what)\n"
         "                        with the difference, then how many orders ran and how many\n"
         "                        end states they reached. A script without a hold, or with\n"
         "                        run N, is refused (exit status 2)\n"
         "  --max-orders N        with --explore, stop after N orders when more remain (exit\n"
         "                        status 2; default 5000)\n"
         "  --sample N            with --explore, N random orders instead of all of them,\n"
         "                        the same ones again for the same --seed S (default 1)\n"
         "  --kill-points         counts the file effects the script makes through the\n"
         "                        device's file layer (a file made, one point in the middle of\n"
         "                        each write, a close, rename, removal, a folder made), with\n"
         "                        held work run item by item, oldest first; then for each\n"
         "                        effect K runs the script again on a fresh copy of the device\n"
         "                        and kills the process just before effect K (SIGKILL: no\n"
         "                        handler, no clean-up). It then checks the device: every\n"
         "                        settings store reads back; each picker row holds, whole (a\n"
         "                        stored value that decodes, or a video at its videoPath with\n"
         "                        a first frame), the choice that stood before the step under\n"
         "                        way (a line's own work, or one held item) or the one that\n"
         "                        step made; files the run left that neither the device nor\n"
         "                        the whole run has are listed as warnings. This models the\n"
         "                        process dying, not the disk losing data it had not synced:\n"
         "                        what was written before the kill stays written\n"
         "\n"
         "Script lines (a '#' that begins a word starts a comment; blank lines are ignored;\n"
         "the whole script is checked before anything runs):\n" +
         sim::describeLines(settings_sim::scriptLines()) +
         "\n"
         "An unreadable settings file is kept aside, never overwritten, and named on standard\n"
         "error.\n"
         "\n"
         "With --explore: 0 every order ends as the user's order does, 1 an order ends\n"
         "differently, 2 more orders than --max-orders. With --kill-points: 0 no violation, 1\n"
         "a violation.\n"
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
  if (!options.deviceRoot.empty() && !fs::is_directory(options.deviceRoot, error)) {
    return sim::runtimeError(kName, "the device root " + options.deviceRoot + " is not a folder",
                             2);
  }
  std::string scriptText;
  if (!settings_sim::readScript(options.script, scriptText)) {
    return sim::runtimeError(kName, "cannot read the script " + options.script, 2);
  }
  if (options.explore) return settings_sim::exploreOrders(options, scriptText);
  if (options.killPoints) return settings_sim::killAtEachEffect(options, scriptText);
  sim::TemporaryDevice temporary;
  if (options.deviceRoot.empty()) {
    std::string failure;
    if (!temporary.make(failure)) return sim::runtimeError(kName, failure);
    options.deviceRoot = temporary.path().string();
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
    status = session.drawPicture(*device::screenOfMachine(options.machine), options.png,
                                 options.appearance);
  return status;
}
