#include <pkprefs3/ZELDeviceUtils.h>
#include <sys/mount_darwin.h>
#include <sys/sysctl_darwin.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

constexpr std::pair<const char*, const char*> kModels[] = {
    {"iPhone13,4", "iPhone 12 Pro Max"}, {"iPhone13,3", "iPhone 12 Pro"},
    {"iPhone13,2", "iPhone 12"},         {"iPhone13,1", "iPhone 12 Mini"},
    {"iPhone12,5", "iPhone 11 Pro Max"}, {"iPhone12,3", "iPhone 11 Pro"},
    {"iPhone12,1", "iPhone 11"},         {"iPhone11,8", "iPhone XR"},
    {"iPhone11,6", "iPhone XS Max"},     {"iPhone11,4", "iPhone XS Max"},
    {"iPhone11,2", "iPhone XS"},         {"iPhone10,6", "iPhone X"},
    {"iPhone10,3", "iPhone X"},
};

id string(const char* text) {
  return send(cls("NSString"), "stringWithCString:encoding:", text, NSUTF8StringEncoding);
}

// Two sysctl calls: the size of the value, then the value. Every failure (no value, no memory,
// a value that changed size in between) answers "", which no model row matches.
id getDeviceCode(id, SEL) {
  size_t size = 0;
  if (sysctlbyname("hw.machine", nullptr, &size, nullptr, 0) != 0 || size == 0) return string("");
  char* machine = static_cast<char*>(std::malloc(size));
  if (machine == nullptr) return string("");
  size_t filled = size;
  if (sysctlbyname("hw.machine", machine, &filled, nullptr, 0) != 0) {
    std::free(machine);
    return string("");
  }
  machine[size - 1] = '\0';
  id code = string(machine);
  std::free(machine);
  return code != nil ? code : string("");
}

id getDeviceModel(id self, SEL) {
  id code = send(self, "getDeviceCode");
  for (const auto& [identifier, name] : kModels) {
    if (send<BOOL>(code, "isEqualToString:", string(identifier))) return string(name);
  }
  return string("Not Found");
}

BOOL markerPresent(const char* path) {
  id manager = send(cls("NSFileManager"), "defaultManager");
  return send<BOOL>(manager, "fileExistsAtPath:", string(path));
}

id getJailbreakName(id self, SEL) {
  BOOL ra1n = send<BOOL>(self, "detectCheckra1n");
  BOOL odyssey = markerPresent("/.installed_odyssey");
  if (ra1n) {
    if (odyssey) return string("Odysseyra1n");
    return string(markerPresent("/.installed_taurine") ? "Taurinera1n" : "checkra1n");
  }
  if (odyssey) return string("Odyssey");
  if (markerPresent("/.installed_taurine")) return string("Taurine");
  return string(markerPresent("/.installed_unc0ver") ? "unc0ver" : "Unknown");
}

// The running version against `version`, numerically. A non-string argument (a version
// written as a number in a plist) is compared by its description rather than handed to the
// string comparison, which would not understand it.
NSComparisonResult compareRunningVersion(id version) {
  if (version != nil && !send<BOOL>(version, "isKindOfClass:", cls("NSString"))) {
    version = send(version, "description");
  }
  id running = send(send(cls("UIDevice"), "currentDevice"), "systemVersion");
  return send<NSComparisonResult>(running, "compare:options:", version, NSNumericSearch);
}

BOOL greaterThanOrEqualTo(id, SEL, id version) {
  return compareRunningVersion(version) != NSOrderedAscending;
}
BOOL lessThanOrEqualTo(id, SEL, id version) {
  return compareRunningVersion(version) != NSOrderedDescending;
}
BOOL greaterThan(id, SEL, id version) {
  return compareRunningVersion(version) == NSOrderedDescending;
}
BOOL lessThan(id, SEL, id version) {
  return compareRunningVersion(version) == NSOrderedAscending;
}

BOOL detectCheckra1n(id, SEL) {
  return isUnionMountPresent() ? YES : NO;
}

__attribute__((constructor)) void registerDeviceUtils() {
  ClassBuilder builder("ZELDeviceUtils", objc_getClass("NSObject"));
  if (!builder) return;  // already registered
  builder.classMethod("getDeviceCode", getDeviceCode)
      .classMethod("getDeviceModel", getDeviceModel)
      .classMethod("getJailbreakName", getJailbreakName)
      .classMethod("isSystemVersionGreaterThanOrEqualTo:", greaterThanOrEqualTo)
      .classMethod("isSystemVersionLessThanOrEqualTo:", lessThanOrEqualTo)
      .classMethod("isSystemVersionGreaterThan:", greaterThan)
      .classMethod("isSystemVersionLessThan:", lessThan)
      .classMethod("detectCheckra1n", detectCheckra1n)
      .register_();
}

}  // namespace

extern "C" bool isUnionMountPresent(void) {
  struct statfs* mounts = nullptr;
  int count = getmntinfo(&mounts, MNT_NOWAIT);
  if (count == 0) {
    std::puts("Unable to get mounts");
    return false;
  }
  if (count < 0 || mounts == nullptr) return false;
  for (int i = 0; i < count; ++i) {
    if ((mounts[i].f_flags & MNT_UNION) != 0) return true;
  }
  return false;
}

Class ZELDeviceUtils::runtimeClass() {
  return objc_getClass("ZELDeviceUtils");
}
id ZELDeviceUtils::getDeviceCode() {
  return send(runtimeClass(), "getDeviceCode");
}
id ZELDeviceUtils::getDeviceModel() {
  return send(runtimeClass(), "getDeviceModel");
}
id ZELDeviceUtils::getJailbreakName() {
  return send(runtimeClass(), "getJailbreakName");
}
BOOL ZELDeviceUtils::isSystemVersionGreaterThanOrEqualTo(id version) {
  return send<BOOL>(runtimeClass(), "isSystemVersionGreaterThanOrEqualTo:", version);
}
BOOL ZELDeviceUtils::isSystemVersionLessThanOrEqualTo(id version) {
  return send<BOOL>(runtimeClass(), "isSystemVersionLessThanOrEqualTo:", version);
}
BOOL ZELDeviceUtils::isSystemVersionGreaterThan(id version) {
  return send<BOOL>(runtimeClass(), "isSystemVersionGreaterThan:", version);
}
BOOL ZELDeviceUtils::isSystemVersionLessThan(id version) {
  return send<BOOL>(runtimeClass(), "isSystemVersionLessThan:", version);
}
BOOL ZELDeviceUtils::detectCheckra1n() {
  return send<BOOL>(runtimeClass(), "detectCheckra1n");
}
