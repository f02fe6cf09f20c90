// plinka-sim settings' script language on any text, against the example pane's rows: parsed,
// and when it has no bad line, run as the user would (each `set` changes a shown row, each
// `show` reads every shown row).
#include <Foundation/ObjectState.h>
#include <Preferences/Preferences.h>
#include <device/device.h>
#include <pkprefs3/ZELPreferenceController.h>

#include <filesystem>
#include <string>
#include <variant>

#include "build_paths.h"
#include "fuzz_device.h"
#include "settings/script.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzing::useTemporaryDevice();
  device::setSystemVersion("14.4");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ns::AutoreleasePool pool;
  std::error_code error;
  std::filesystem::remove_all(device::hostPath("/var/mobile"), error);  // what the last one stored
  preferences::forgetStoredValues();
  id controller = ns::autorelease(msgSend(ZELPreferenceController::runtimeClass(), sel("new")));
  std::string problem;
  if (!preferences::showRowList(
          controller, std::string(PLINKA_SOURCE_DIR) + "/examples/settings/Root.plist", &problem)) {
    std::fprintf(stderr, "settings script: %s\n", problem.c_str());
    std::abort();
  }
  id all = object_getIvar(controller,
                          class_getInstanceVariable(object_getClass(controller), "_allSpecifiers"));
  settings_sim::Script script = settings_sim::parseScript(fuzzing::bytesOf(data, size), all);
  if (!script.problems.empty()) return 0;
  for (const settings_sim::Command& command : script.commands) {
    ns::AutoreleasePool each;
    if (auto* set = std::get_if<settings_sim::Set>(&command.action)) {
      // A row of a pushed page has no row yet: this target runs no taps, so there is none.
      if (set->row.row == nil) break;
      std::string refused;
      id value = settings_sim::valueToSend(set->row.row, set->row.name, set->value, false, refused);
      if (value == nil || !preferences::userChangesValue(controller, set->row.row, value)) break;
    } else {
      for (id row : ns::elements(msgSend(controller, sel("specifiers")))) {
        ns::toJson(msgSend(row, sel("performGetter")));
      }
    }
  }
  fuzzing::writeJournal();
  return 0;
}
