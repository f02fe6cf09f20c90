#include "settings_app.h"

#include <Foundation/ObjectState.h>
#include <Preferences/Preferences.h>
#include <device/device.h>
#include <device/journal.h>
#include <device/screen.h>
#include <pkprefs3/ZELPreferenceController.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#include "help.h"
#include "installed_pane.h"

namespace settings_sim {
namespace {

constexpr const char* kName = "settings";

}  // namespace

int SettingsApp::open(const Options& options) {
  device::setRoot(options.deviceRoot);
  if (!options.systemVersion.empty()) device::setSystemVersion(options.systemVersion);
  const device::ScreenModel& screen = *device::screenOfMachine(options.machine);
  device::setMachine(screen.machine);
  device::setScreenScale(screen.scale);
  journal::clear();
  window_ =
      ns::Ref::adopt(msgSend(msgSend(objc_getClass("UIWindow"), sel("alloc")),
                             sel("initWithFrame:"), CGRect{{0, 0}, {screen.width, screen.height}}));

  if (!options.rows.empty()) {
    Class controllerClass = ZELPreferenceController::runtimeClass();
    if (controllerClass == Nil) {
      return sim::runtimeError(kName, "ZELPreferenceController is not registered");
    }
    controller_ = ns::Ref::adopt(msgSend(controllerClass, sel("new")));
    std::string problem;
    rows_ = ns::Ref(preferences::loadRowList(options.rows, controller_.get(), &problem, &title_));
    if (!rows_) return sim::runtimeError(kName, problem, 2);
    fullList_ = ns::Ref::adopt(msgSend(rows_.get(), sel("copy")));
    return 0;
  }
  // The pane installed on the device, shown as soon as it is open.
  std::vector<PaneEntry> entries;
  PaneProblem failure;
  const PaneEntry* entry = nullptr;
  OpenedPane pane;
  if (!findPaneEntries(entries, failure) ||
      (entry = choosePane(entries, options.pane, failure)) == nullptr ||
      !openPane(*entry, pane, failure)) {
    return sim::runtimeError(kName, failure.message, failure.status);
  }
  controller_ = pane.controller;
  fullList_ = pane.fullList;
  title_ = pane.title;
  // What was opened, first in the output: the controller and the executable it came from.
  nlohmann::json opened = {{"kind", "pane"},
                           {"label", pane.title},
                           {"entry", pane.entryFile},
                           {"class", pane.controllerClass},
                           {"executable", pane.executable}};
  if (options.json) {
    std::printf("%s\n", opened.dump().c_str());
  } else {
    std::printf("pane %s: %s from %s\n", pane.title.c_str(), pane.controllerClass.c_str(),
                pane.executable.c_str());
  }
  return 0;
}

void SettingsApp::show() {
  if (rows_) preferences::showRows(controller_.get(), rows_.get());
  rows_ = ns::Ref();
  shown_ = true;
  // The Settings application shows the pane's table in its window.
  msgSend<void>(window_.get(), sel("addSubview:"), msgSend(controller_.get(), sel("table")));
}

SettingsApp::~SettingsApp() {
  if (!shown_) return;
  // The controller and the rows go before the pool that holds the last of them.
  msgSend<void>(msgSend(controller_.get(), sel("table")), sel("removeFromSuperview"));
  msgSend<void>(controller_.get(), sel("setSpecifiers:"), id{nil});
}

}  // namespace settings_sim
