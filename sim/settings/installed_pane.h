// The settings pane installed on the device, opened as the Settings application of a jailbroken
// device opens it.
//
// The settings loader keeps one entry plist per pane in /var/LIY/PreferenceLoader/Preferences/.
// Its `entry` dictionary names the pane: `label` (the row in the Settings list, and the pane's
// title), `bundle` (the folder /var/LIY/PreferenceBundles/BUNDLE.bundle), `isController` (the
// bundle's principal class is the pane's controller; entries without it are not supported),
// `cell` and `icon` (how the row looks, read and listed). The bundle's Info.plist names its
// executable (`CFBundleExecutable`) and principal class (`NSPrincipalClass`). Opening a pane
// loads the executable (dlopen: a shared object built for the simulated device, whose loading
// registers its classes), checks that the principal class derives from PSListController, makes
// one with alloc/init, gives it a row for the entry (its properties the entry's, plus the bundle
// under `pl_bundle`, so that -bundle and -loadSpecifiersFromPlistName:target: find its files),
// asks it for -specifiers once and shows that list (applyModificationsToSpecifiers:, then
// setSpecifiers:).
#pragma once

#include <Foundation/Foundation.h>

#include <string>
#include <vector>

namespace settings_sim {

// One entry plist.
struct PaneEntry {
  std::string file;    // its device path
  std::string name;    // its file name without ".plist"
  std::string label;   // the entry's `label`
  std::string bundle;  // the entry's `bundle`
  std::string cell;    // the entry's `cell`; empty without one
  std::string icon;    // the entry's `icon`; empty without one
  ns::Ref properties;  // the entry dictionary
};

// A failure, with the exit status it gives: 2 for what is installed wrong (an entry, a bundle,
// an Info.plist, an executable), 1 for what the pane's controller does wrong when it runs.
struct PaneProblem {
  std::string message;
  int status = 2;
};

// The entries installed, in the order of their file names. False when one is unreadable or has
// no `entry` dictionary with a `label` and a `bundle`, or two have one label.
bool findPaneEntries(std::vector<PaneEntry>& entries, PaneProblem& problem);

// The entry `name` chooses: the one whose label is `name`, else the one whose file name is `name`
// (with or without ".plist"). With an empty `name`, the only entry; more than one is a problem
// that lists them.
const PaneEntry* choosePane(const std::vector<PaneEntry>& entries, const std::string& name,
                            PaneProblem& problem);

// An opened pane: its controller (owned) and the full row list it answered, before anything
// was hidden.
struct OpenedPane {
  ns::Ref controller;
  ns::Ref fullList;
  std::string title;
  std::string entryFile;        // the entry's device path
  std::string executable;       // the device path of the executable loaded
  std::string controllerClass;  // the principal class
};

// Loads the entry's bundle and shows its controller's rows, as described above. False, with the
// problem, when anything fails; nothing is shown then.
bool openPane(const PaneEntry& entry, OpenedPane& pane, PaneProblem& problem);

}  // namespace settings_sim
