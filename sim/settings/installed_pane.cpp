#include "installed_pane.h"

#include <Preferences/Preferences.h>
#include <device/device.h>
#include <dlfcn.h>

#include <algorithm>
#include <filesystem>

namespace settings_sim {
namespace {

namespace fs = std::filesystem;

constexpr const char* kEntryFolder = "/var/LIY/PreferenceLoader/Preferences";
constexpr const char* kBundleFolder = "/var/LIY/PreferenceBundles";

bool fail(PaneProblem& problem, std::string message, int status = 2) {
  problem.message = std::move(message);
  problem.status = status;
  return false;
}

// A string value of a dictionary; empty when absent or not a string.
std::string textFor(id dictionary, const char* key) {
  id value = ns::valueFor(dictionary, key);
  return value != nil && ns::isKindOf(value, "NSString") ? ns::utf8(value) : "";
}

bool readsOn(id value) {
  return value != nil && send<BOOL>(value, "respondsToSelector:", sel("boolValue")) &&
         send<BOOL>(value, "boolValue") != NO;
}

bool readEntry(const std::string& name, PaneEntry& entry, PaneProblem& problem) {
  entry.file = std::string(kEntryFolder) + "/" + name;
  entry.name = name.substr(0, name.size() - std::string(".plist").size());
  id root = ns::readPlist(device::hostPath(entry.file));
  if (root == nil || !ns::isKindOf(root, "NSDictionary")) {
    return fail(problem, "entry " + entry.file + " is not a property list dictionary");
  }
  id dictionary = ns::valueFor(root, "entry");
  if (dictionary == nil || !ns::isKindOf(dictionary, "NSDictionary")) {
    return fail(problem, "entry " + entry.file + " has no entry dictionary");
  }
  entry.properties = ns::Ref(dictionary);
  entry.label = textFor(dictionary, "label");
  entry.bundle = textFor(dictionary, "bundle");
  entry.cell = textFor(dictionary, "cell");
  entry.icon = textFor(dictionary, "icon");
  if (entry.label.empty()) return fail(problem, "entry " + entry.file + " has no label");
  if (entry.bundle.empty()) return fail(problem, "entry " + entry.file + " names no bundle");
  if (entry.bundle.find('/') != std::string::npos || entry.bundle == "..") {
    return fail(problem, "entry " + entry.file + " names bundle '" + entry.bundle +
                             "', which is not a bundle name");
  }
  if (!readsOn(ns::valueFor(dictionary, "isController"))) {
    return fail(problem, "entry " + entry.file +
                             " is not a controller entry (isController): only panes whose "
                             "bundle's principal class is their controller can be opened");
  }
  return true;
}

bool isListController(Class candidate) {
  Class listController = objc_lookUpClass("PSListController");
  for (Class c = candidate; c != Nil; c = class_getSuperclass(c)) {
    if (c == listController) return true;
  }
  return false;
}

std::string ancestry(Class candidate) {
  std::string out;
  for (Class c = candidate; c != Nil; c = class_getSuperclass(c)) {
    out += (out.empty() ? "" : " : ") + std::string(class_getName(c));
  }
  return out;
}

std::string describeEntries(const std::vector<PaneEntry>& entries) {
  std::string out;
  for (const PaneEntry& entry : entries) {
    out += "\n  " + entry.label + "  (" + entry.name + ".plist: bundle " + entry.bundle;
    if (!entry.icon.empty()) out += ", icon " + entry.icon;
    out += ")";
  }
  return out;
}

}  // namespace

bool findPaneEntries(std::vector<PaneEntry>& entries, PaneProblem& problem) {
  entries.clear();
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& file :
       fs::directory_iterator(device::hostPath(kEntryFolder), error)) {
    std::string name = file.path().filename().string();
    if (name.ends_with(".plist") && name.size() > 6 && name[0] != '.' &&
        file.is_regular_file(error)) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    ns::AutoreleasePool pool;
    PaneEntry entry;
    if (!readEntry(name, entry, problem)) return false;
    for (const PaneEntry& other : entries) {
      if (other.label == entry.label) {
        return fail(problem, "entries " + other.file + " and " + entry.file + " have one label, '" +
                                 entry.label + "'");
      }
    }
    entries.push_back(std::move(entry));
  }
  return true;
}

const PaneEntry* choosePane(const std::vector<PaneEntry>& entries, const std::string& name,
                            PaneProblem& problem) {
  if (entries.empty()) {
    fail(problem, std::string("no settings pane is installed (no entry in ") + kEntryFolder +
                      "/); --rows ROWS opens a bare row list");
    return nullptr;
  }
  if (name.empty()) {
    if (entries.size() == 1) return &entries.front();
    fail(problem, std::to_string(entries.size()) +
                      " settings panes are installed; choose one with --pane NAME (its label or "
                      "its entry's file name):" +
                      describeEntries(entries));
    return nullptr;
  }
  for (const PaneEntry& entry : entries) {
    if (entry.label == name) return &entry;
  }
  for (const PaneEntry& entry : entries) {
    if (entry.name == name || entry.name + ".plist" == name) return &entry;
  }
  fail(problem, "no settings pane named '" + name + "'; installed:" + describeEntries(entries));
  return nullptr;
}

bool openPane(const PaneEntry& entry, OpenedPane& pane, PaneProblem& problem) {
  ns::AutoreleasePool pool;
  std::string bundlePath = std::string(kBundleFolder) + "/" + entry.bundle + ".bundle";
  std::error_code error;
  if (!fs::is_directory(device::hostPath(bundlePath), error)) {
    return fail(problem,
                "entry " + entry.file + " names bundle " + entry.bundle + ": no " + bundlePath);
  }
  std::string infoFile = bundlePath + "/Info.plist";
  id info = ns::readPlist(device::hostPath(infoFile));
  if (info == nil || !ns::isKindOf(info, "NSDictionary")) {
    return fail(problem, infoFile + " is missing or not a property list dictionary");
  }
  std::string executable = textFor(info, "CFBundleExecutable");
  std::string principal = textFor(info, "NSPrincipalClass");
  if (executable.empty()) return fail(problem, infoFile + " names no CFBundleExecutable");
  if (principal.empty()) return fail(problem, infoFile + " names no NSPrincipalClass");
  std::string executablePath = bundlePath + "/" + executable;
  if (executable.find('/') != std::string::npos ||
      !fs::is_regular_file(device::hostPath(executablePath), error)) {
    return fail(problem,
                infoFile + " names executable " + executable + ": no file " + executablePath);
  }

  // Loading the executable registers its classes. It stays loaded for the rest of the process,
  // as a bundle's code does on the device.
  Class controllerClass = Nil;
  try {
    dlerror();
    if (dlopen(device::hostPath(executablePath).c_str(), RTLD_NOW | RTLD_LOCAL) == nullptr) {
      const char* why = dlerror();
      return fail(problem,
                  executablePath + " does not load: " + (why != nullptr ? why : "no reason given"));
    }
    controllerClass = objc_lookUpClass(principal.c_str());
  } catch (const ns::Exception& raised) {
    return fail(problem,
                executablePath + " raised " + raised.name() + " while loading: " + raised.reason());
  }
  if (controllerClass == Nil) {
    return fail(problem, infoFile + " names principal class " + principal + ", which " +
                             executablePath + " does not define");
  }
  if (!isListController(controllerClass)) {
    return fail(problem, infoFile + " names principal class " + principal +
                             ", which is not a list controller (" + ancestry(controllerClass) +
                             ")");
  }

  // The row that opens the pane, as the settings loader makes it from the entry.
  id properties = ns::autorelease(send(entry.properties.get(), "mutableCopy"));
  ns::setValue(properties, "pl_bundle",
               send(cls("NSBundle"), "bundleWithPath:", ns::string(bundlePath)));
  id opener =
      send(cls("PSSpecifier"),
           "preferenceSpecifierNamed:target:set:get:detail:cell:edit:", ns::string(entry.label),
           id{nil}, SEL{nullptr}, SEL{nullptr}, controllerClass, PSLinkCell, Class{Nil});
  send<void>(opener, "setProperties:", properties);

  id answered = nil;
  try {
    pane.controller = ns::Ref::adopt(send(send(asId(controllerClass), "alloc"), "init"));
    send<void>(pane.controller, "setSpecifier:", opener);
    answered = send(pane.controller, "specifiers");
  } catch (const ns::Exception& raised) {
    pane.controller = ns::Ref();
    return fail(problem,
                principal + " -specifiers raised " + raised.name() + ": " + raised.reason(), 1);
  }
  if (answered == nil || !ns::isKindOf(answered, "NSArray")) {
    std::string what = answered == nil ? "nil" : "a " + ns::className(answered);
    pane.controller = ns::Ref();
    return fail(problem,
                principal + " -specifiers answered " + what +
                    ", not an array of rows (is its row list in " + bundlePath + "?)",
                1);
  }
  size_t position = 0;
  for (id row : ns::elements(answered)) {
    ++position;
    if (!ns::isKindOf(row, "PSSpecifier")) {
      pane.controller = ns::Ref();
      return fail(problem,
                  principal + " -specifiers answered an array whose item " +
                      std::to_string(position) + " is a " + ns::className(row) + ", not a row",
                  1);
    }
  }
  pane.fullList = ns::Ref::adopt(send(answered, "copy"));
  pane.title = entry.label;
  pane.entryFile = entry.file;
  pane.executable = executablePath;
  pane.controllerClass = principal;
  id rows = ns::autorelease(send(answered, "mutableCopy"));
  try {
    preferences::showRows(pane.controller, rows);
  } catch (const ns::Exception& raised) {
    pane.controller = ns::Ref();
    return fail(
        problem,
        principal + " raised " + raised.name() + " while its rows were shown: " + raised.reason(),
        1);
  }
  return true;
}

}  // namespace settings_sim
