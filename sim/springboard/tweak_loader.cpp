#include "tweak_loader.h"

#include <Foundation/Foundation.h>
#include <device/journal.h>
#include <dlfcn.h>

#include <filesystem>

namespace springboard {
namespace {

bool names(id list, const char* wanted) {
  if (list == nil || !ns::isKindOf(list, "NSArray")) return false;
  for (id item : ns::elements(list)) {
    if (ns::isKindOf(item, "NSString") && ns::utf8(item) == wanted) return true;
  }
  return false;
}

}  // namespace

LoadOutcome loadTweak(const std::string& tweakDir, std::string& message) {
  ns::AutoreleasePool pool;
  std::string filterPath = tweakDir + "/Plinka3.plist";
  std::string libraryPath = tweakDir + "/Plinka3.so";
  if (!std::filesystem::exists(filterPath)) {
    message = filterPath + ": the tweak's filter is missing";
    return LoadOutcome::Failed;
  }
  id filter = ns::readPlist(filterPath);
  id rules =
      filter != nil && ns::isKindOf(filter, "NSDictionary") ? ns::valueFor(filter, "Filter") : nil;
  if (rules == nil || !ns::isKindOf(rules, "NSDictionary")) {
    message = filterPath + ": not a readable filter (a plist with a Filter dictionary)";
    return LoadOutcome::Failed;
  }
  if (!names(ns::valueFor(rules, "Bundles"), kHomeScreenBundle) &&
      !names(ns::valueFor(rules, "Executables"), kHomeScreenExecutable)) {
    journal::record("load", {{"library", "Plinka3.so"},
                             {"loaded", false},
                             {"reason", "the filter does not name com.apple.springboard"}});
    return LoadOutcome::FilteredOut;
  }
  journal::record("load", {{"library", "Plinka3.so"}, {"loaded", true}});
  if (dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_GLOBAL) == nullptr) {
    const char* reason = dlerror();
    message = libraryPath + ": " + (reason != nullptr ? reason : "cannot be loaded");
    return LoadOutcome::Failed;
  }
  return LoadOutcome::Loaded;
}

}  // namespace springboard
