// A second settings pane for the tests, built like the example pane but with other names: the
// bundle Chime.bundle, the executable ChimeSettings and the principal class CHMSettingsController,
// which reads its rows from Chime.plist. The executable also defines classes that a test names as
// the principal class instead, each wrong in one way: CHMRaisingController (its -specifiers
// raises, as a pane with an index bug does), CHMNotAnArrayController (its -specifiers answers a
// string) and CHMPlainObject (not a list controller).
#include <Foundation/Foundation.h>
#include <Preferences/Preferences.h>
#include <pkprefs3/ZELPreferenceController.h>

#include <cstddef>

namespace {

ptrdiff_t specifiersOffset = 0;

id chimeSpecifiers(id self, SEL) {
  id& rows = *reinterpret_cast<id*>(reinterpret_cast<char*>(self) + specifiersOffset);
  if (rows == nil) {
    rows = send(send(self, "loadSpecifiersFromPlistName:target:", NSSTR("Chime"), self), "retain");
  }
  return rows;
}

id raisingSpecifiers(id, SEL) {
  id missing = nil;  // a title the pane forgot to load
  return send(NSSTR("Chime: "), "stringByAppendingString:", missing);
}

id stringSpecifiers(id, SEL) {
  return NSSTR("Bell, Loud");
}

__attribute__((constructor)) void registerChimeClasses() {
  ClassBuilder("CHMSettingsController", ZELPreferenceController::runtimeClass())
      .method("specifiers", chimeSpecifiers)
      .register_();
  ClassBuilder("CHMRaisingController", objc_getClass("PSListController"))
      .method("specifiers", raisingSpecifiers)
      .register_();
  ClassBuilder("CHMNotAnArrayController", objc_getClass("PSListController"))
      .method("specifiers", stringSpecifiers)
      .register_();
  ClassBuilder("CHMPlainObject", objc_getClass("NSObject")).register_();
  specifiersOffset =
      ivar_getOffset(class_getInstanceVariable(objc_getClass("PSListController"), "_specifiers"));
}

}  // namespace
