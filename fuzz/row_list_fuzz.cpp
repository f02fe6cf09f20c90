// A settings pane's row list (Root.plist) of any bytes, opened as the Settings application opens
// a pane: loaded for a ZELPreferenceController, passed through its applyModificationsToSpecifiers:
// and shown. Then the user turns every switch of the full list on and off again (runs open and
// close, the version gate answers), and every shown row is read, as its cell reads it.
#include <Foundation/ObjectState.h>
#include <Preferences/Preferences.h>
#include <UIKit/UIAlertController.h>
#include <device/device.h>
#include <pkprefs3/ZELPreferenceController.h>

#include <filesystem>

#include "fuzz_device.h"

namespace {

constexpr const char* kRowList = "/Library/PreferenceBundles/Fuzz.bundle/Root.plist";

void closeAlert(id controller) {
  id presented = msgSend(controller, sel("presentedViewController"));
  uikit::AlertInfo alert;
  if (presented != nil && uikit::describeAlert(presented, alert)) {
    uikit::tapAlertAction(presented, 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzing::useTemporaryDevice();
  device::setSystemVersion("14.4");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ns::AutoreleasePool pool;
  std::error_code error;
  std::filesystem::remove_all(device::hostPath("/var/mobile"), error);  // what the last one stored
  fuzzing::writeDeviceFile(kRowList, fuzzing::bytesOf(data, size));
  preferences::forgetStoredValues();
  id controller = ns::autorelease(msgSend(ZELPreferenceController::runtimeClass(), sel("new")));
  std::string problem;
  if (preferences::showRowList(controller, device::hostPath(kRowList), &problem)) {
    id all = object_getIvar(
        controller, class_getInstanceVariable(object_getClass(controller), "_allSpecifiers"));
    for (id row : ns::elements(all)) {
      if (msgSend<PSCellType>(row, sel("cellType")) != PSSwitchCell) continue;
      for (bool on : {true, false}) {
        ns::AutoreleasePool each;
        preferences::userChangesValue(controller, row, ns::boolNumber(on));
        closeAlert(controller);
      }
    }
    for (id row : ns::elements(msgSend(controller, sel("specifiers")))) {
      ns::toJson(msgSend(row, sel("performGetter")));
    }
  }
  fuzzing::writeJournal();
  return 0;
}
