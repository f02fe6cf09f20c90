// The Settings application as `plinka-sim settings` opens it, shared by that command and the
// studio's Settings host: the simulated device set up from the options (root, system version,
// machine and its screen; the journal emptied), the pane opened (the one installed on the
// device, announced on standard output, or a bare row list with --rows) and its table put in a
// window of the screen.
#pragma once

#include <Foundation/Foundation.h>

#include <string>

#include "settings_options.h"

namespace settings_sim {

class SettingsApp {
 public:
  SettingsApp() = default;
  // Once shown: takes the table out of its window and the rows from the controller, before the
  // references this holds go.
  ~SettingsApp();
  SettingsApp(const SettingsApp&) = delete;
  SettingsApp& operator=(const SettingsApp&) = delete;

  // Sets the device up and opens the pane: the installed pane `options.pane` chooses (shown at
  // once, as the Settings application shows it), else a bare ZELPreferenceController on
  // `options.rows` (read, not shown yet). 0, or the exit status with the message printed on
  // standard error (2 for a pane installed wrong or a bad row list).
  int open(const Options& options);
  // Shows the rows of a bare row list (an installed pane is already shown) and puts the table
  // in the window. Called once, after open() succeeded.
  void show();

  id controller() const { return controller_.get(); }
  id fullList() const { return fullList_.get(); }  // every row, shown or not
  const std::string& title() const { return title_; }

 private:
  ns::Ref controller_;
  ns::Ref fullList_;
  ns::Ref rows_;  // a bare row list to show; nil for an installed pane
  ns::Ref window_;
  std::string title_;
  bool shown_ = false;
};

}  // namespace settings_sim
