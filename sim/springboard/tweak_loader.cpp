#include "tweak_loader.h"

#include <Foundation/Foundation.h>
#include <device/journal.h>
#include <dlfcn.h>

#include <filesystem>
#include <vector>

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
  auto failed = [&](std::string why) {
    message = std::move(why);
    journal::record("load", {{"library", "Plinka3.so"}, {"loaded", false}, {"reason", message}});
    return LoadOutcome::Failed;
  };
  if (!std::filesystem::exists(filterPath)) {
    return failed(filterPath + ": the tweak's filter is missing");
  }
  id filter = ns::readPlist(filterPath);
  id rules =
      filter != nil && ns::isKindOf(filter, "NSDictionary") ? ns::valueFor(filter, "Filter") : nil;
  if (rules == nil || !ns::isKindOf(rules, "NSDictionary")) {
    return failed(filterPath + ": not a readable filter (a plist with a Filter dictionary)");
  }
  if (!names(ns::valueFor(rules, "Bundles"), kHomeScreenBundle) &&
      !names(ns::valueFor(rules, "Executables"), kHomeScreenExecutable)) {
    journal::record("load", {{"library", "Plinka3.so"},
                             {"loaded", false},
                             {"reason", "the filter does not name com.apple.springboard"}});
    return LoadOutcome::FilteredOut;
  }
  // The library's initialiser runs inside dlopen and installs its hooks there. What it records
  // is held back until the loader has answered, so that the journal says "loaded" only of a
  // library that did load, and before what its initialiser did.
  std::vector<journal::Entry> duringLoad;
  journal::Sink after =
      journal::exchangeSink([&](const journal::Entry& e) { duringLoad.push_back(e); });
  void* handle = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_GLOBAL);
  const char* reason = handle == nullptr ? dlerror() : nullptr;
  journal::exchangeSink(std::move(after));
  if (handle == nullptr) {
    for (const journal::Entry& e : duringLoad) journal::append(e);
    // The loader's message names the library itself, as "PATH: why"; name it once.
    std::string why = reason != nullptr ? reason : "cannot be loaded";
    if (why.rfind(libraryPath + ": ", 0) == 0) why.erase(0, libraryPath.size() + 2);
    return failed(libraryPath + ": " + why);
  }
  journal::record("load", {{"library", "Plinka3.so"}, {"loaded", true}});
  for (const journal::Entry& e : duringLoad) journal::append(e);
  return LoadOutcome::Loaded;
}

}  // namespace springboard
