#include <Foundation/DefaultsJournal.h>
#include <Foundation/ObjectState.h>
#include <Preferences/PSCells.h>
#include <Preferences/PSListController.h>
#include <device/device.h>
#include <device/journal.h>
#include <notify.h>

#include "list_state.h"
#include "properties.h"

#include <memory>
#include <unordered_map>
#include <unordered_set>

namespace preferences {
namespace {

using internal::ListState;
using internal::listState;

ptrdiff_t specifiersOffset = 0;

}  // namespace

id& internal::specifiersSlot(id self) {
  return *reinterpret_cast<id*>(reinterpret_cast<char*>(self) + specifiersOffset);
}

namespace {

id shownRows(id self) {
  id& slot = internal::specifiersSlot(self);
  if (slot == nil) slot = msgSend(objc_getClass("NSMutableArray"), sel("new"));
  return slot;
}

std::string_view textOf(id string);

bool isNonEmptyString(id value) {
  return internal::isString(value) && !textOf(value).empty();
}

bool readsOn(id value) {
  static SEL responds = sel("respondsToSelector:");
  static SEL boolValue = sel("boolValue");
  return value != nil && msgSend<BOOL>(value, responds, boolValue) &&
         msgSend<BOOL>(value, boolValue) != NO;
}

id attribute(id specifier, std::string_view key) {
  static SEL properties = sel("properties");
  return internal::propertyNamed(msgSend(specifier, properties), key);
}

nlohmann::ordered_json rowNames(id rows) {
  nlohmann::ordered_json names = nlohmann::ordered_json::array();
  for (id row : ns::elements(rows)) names.push_back(rowName(row));
  return names;
}

// --- stored values -------------------------------------------------------------------------

// The values of the user-defaults domains read so far, as the platform's preferences daemon
// keeps them for the process: a domain's file is read once, and read again after anything in
// the process stores into the domain, and when the host opens a pane or the user acts (which
// is when the device would have heard of changes made elsewhere).
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
using Values = std::unordered_map<std::string, ns::Ref, TextHash, std::equal_to<>>;

struct Domains {
  std::string root;  // the device root the values were read under
  std::unordered_map<std::string, Values, TextHash, std::equal_to<>> byName;
};
Domains& domains() {
  static auto* all = new Domains;  // lives as long as the process
  return *all;
}

std::string_view textOf(id string) {
  static SEL utf8 = sel("UTF8String");
  const char* text = msgSend<const char*>(string, utf8);
  return text != nullptr ? std::string_view(text) : std::string_view();
}

void forgetDomain(id domain) {
  if (!internal::isString(domain)) return;
  auto found = domains().byName.find(textOf(domain));
  if (found != domains().byName.end()) domains().byName.erase(found);
}

const Values& domainValues(std::string_view name) {
  Domains& all = domains();
  if (all.root != device::root()) {
    all.byName.clear();
    all.root = device::root();
  }
  auto found = all.byName.find(name);
  if (found != all.byName.end()) return found->second;
  Values values;
  {
    ns::AutoreleasePool pool;
    id root = ns::readPlist(
        device::hostPath("/var/mobile/Library/Preferences/" + std::string(name) + ".plist"));
    if (root != nil && ns::isKindOf(root, "NSDictionary")) {
      for (auto& [key, value] : ns::dictionaryEntries(root)) {
        if (internal::isString(key)) values.emplace(std::string(textOf(key)), ns::Ref(value));
      }
    }
  }
  return all.byName.emplace(std::string(name), std::move(values)).first->second;
}

id storedValue(std::string_view domain, std::string_view key) {
  const Values& values = domainValues(domain);
  auto value = values.find(key);
  if (value == values.end()) return nil;
  // The caller may keep the value past the next change of the domain.
  return ns::autorelease(ns::retain(value->second.get()));
}

// NSUserDefaults and the framework share one store in the process, as on the device: a value
// stored through NSUserDefaults is what the next read of its domain answers.
IMP storeThroughDefaults = nullptr;
void storeAndForget(id self, SEL cmd, id value, id key, id domain) {
  reinterpret_cast<void (*)(id, SEL, id, id, id)>(storeThroughDefaults)(self, cmd, value, key,
                                                                        domain);
  forgetDomain(domain);
}
void shareStoreWithUserDefaults() {
  Method store =
      class_getInstanceMethod(ns::classNamed("NSUserDefaults"), sel("setObject:forKey:inDomain:"));
  if (store == nullptr) return;
  storeThroughDefaults = method_setImplementation(store, reinterpret_cast<IMP>(storeAndForget));
}

// --- PSListController ----------------------------------------------------------------------

id initListController(id self, SEL) {
  listState(self);
  return sendSuper(self, objc_getClass("PSListController"), "init");
}

id specifiers(id self, SEL) {
  return shownRows(self);
}
void setSpecifiers(id self, SEL, id rows) {
  id& slot = internal::specifiersSlot(self);
  id replaced = slot;
  slot = rows != nil && ns::isKindOf(rows, "NSArray") ? msgSend(rows, sel("mutableCopy")) : nil;
  ns::release(replaced);
}
void deallocListController(id self, SEL) {
  ns::release(internal::specifiersSlot(self));
  internal::specifiersSlot(self) = nil;
  sendSuper<void>(self, objc_getClass("PSListController"), "dealloc");
}

id specifier(id self, SEL) {
  return listState(self)->specifier;
}
void setSpecifier(id self, SEL, id row) {
  listState(self)->specifier = ns::Ref(row);
}
id bundle(id self, SEL) {
  id row = listState(self)->specifier;
  id found = row != nil ? attribute(row, "pl_bundle") : nil;
  return found != nil && ns::isKindOf(found, "NSBundle") ? found : nil;
}

id loadSpecifiersFromPlistName(id self, SEL, id name, id target) {
  std::string path = ns::utf8(name);
  if (!path.ends_with(".plist")) path += ".plist";
  if (id own = bundle(self, nullptr)) {
    path = device::hostPath(ns::utf8(msgSend(own, sel("bundlePath"))) + "/" + path);
  }
  return loadRowList(path, target, nullptr);
}

id readPreferenceValue(id, SEL, id specifier) {
  static SEL propertiesSelector = sel("properties");
  id properties = msgSend(specifier, propertiesSelector);
  id key = internal::propertyNamed(properties, "key");
  id domain = internal::propertyNamed(properties, "defaults");
  if (!internal::isString(key) || !internal::isString(domain)) return nil;
  std::string_view keyText = textOf(key);
  std::string_view domainText = textOf(domain);
  if (keyText.empty() || domainText.empty()) return nil;
  id value = storedValue(domainText, keyText);
  if (value == nil) value = internal::propertyNamed(properties, "default");
  if (value != nil && readsOn(internal::propertyNamed(properties, "negate"))) {
    value = ns::boolNumber(!readsOn(value));
  }
  return value;
}

void setPreferenceValue(id, SEL, id value, id specifier) {
  id key = attribute(specifier, "key");
  id domain = attribute(specifier, "defaults");
  journal::record("store", {{"row", rowName(specifier)},
                            {"key", isNonEmptyString(key) ? ns::toJson(key) : nullptr},
                            {"value", ns::toJson(value)}});
  if (isNonEmptyString(key) && isNonEmptyString(domain)) {
    id stored = value;
    if (value != nil && readsOn(attribute(specifier, "negate"))) {
      stored = ns::boolNumber(!readsOn(value));
    }
    id defaults = msgSend(objc_getClass("NSUserDefaults"), sel("standardUserDefaults"));
    ns::StoreJournalledByCaller recordedAsStore;  // the "store" entry above
    msgSend<void>(defaults, sel("setObject:forKey:inDomain:"), stored, key, domain);
    forgetDomain(domain);
  }
  id notification = attribute(specifier, "PostNotification");
  if (isNonEmptyString(notification)) notify_post(ns::utf8(notification).c_str());
}

void reloadSpecifierAnimated(id self, SEL, id specifier, BOOL animated) {
  journal::record("reload", {{"row", rowName(specifier)}, {"animated", animated != NO}});
  internal::refreshCell(self, specifier);
}
void reloadSpecifier(id self, SEL, id specifier) {
  reloadSpecifierAnimated(self, nullptr, specifier, NO);
}

NSUInteger indexOfSpecifier(id self, SEL, id specifier) {
  return msgSend<NSUInteger>(shownRows(self), sel("indexOfObjectIdenticalTo:"), specifier);
}
BOOL containsSpecifier(id self, SEL, id specifier) {
  return indexOfSpecifier(self, nullptr, specifier) != NSNotFound ? YES : NO;
}
id specifierForID(id self, SEL, id identifier) {
  for (id row : ns::elements(shownRows(self))) {
    id own = msgSend(row, sel("identifier"));
    if (own != nil && msgSend<BOOL>(own, sel("isEqual:"), identifier)) return row;
  }
  return nil;
}

void insertContiguousSpecifiers(id self, SEL, id rows, id anchor, BOOL animated) {
  journal::record(
      "insert",
      {{"after", rowName(anchor)}, {"rows", rowNames(rows)}, {"animated", animated != NO}});
  id shown = shownRows(self);
  NSUInteger at = msgSend<NSUInteger>(shown, sel("indexOfObjectIdenticalTo:"), anchor);
  if (anchor == nil || at == NSNotFound) return;
  std::vector<id> current = ns::elements(shown);
  std::unordered_set<id> present(current.begin(), current.end());
  for (id row : ns::elements(rows)) {
    if (!present.insert(row).second) continue;
    msgSend<void>(shown, sel("insertObject:atIndex:"), row, ++at);
  }
}

void removeContiguousSpecifiers(id self, SEL, id rows, BOOL animated) {
  journal::record("remove", {{"rows", rowNames(rows)}, {"animated", animated != NO}});
  id shown = shownRows(self);
  std::vector<id> doomed = ns::elements(rows);
  std::unordered_set<id> gone(doomed.begin(), doomed.end());
  std::vector<id> current = ns::elements(shown);
  for (id row : current) {
    if (gone.count(row) != 0) msgSend<void>(shown, sel("removeObjectIdenticalTo:"), row);
  }
}

__attribute__((constructor)) void loadListControllerClass() {
  registerListControllerClass();
}

}  // namespace

void showRows(id controller, id rows) {
  forgetStoredValues();
  if (msgSend<BOOL>(controller, sel("respondsToSelector:"),
                    sel("applyModificationsToSpecifiers:"))) {
    msgSend<void>(controller, sel("applyModificationsToSpecifiers:"), rows);
  }
  msgSend<void>(controller, sel("setSpecifiers:"), rows);
}

bool showRowList(id controller, const std::string& hostPath, std::string* error) {
  ns::AutoreleasePool pool;
  id rows = loadRowList(hostPath, controller, error);
  if (rows == nil) return false;
  showRows(controller, rows);
  return true;
}

bool isShown(id controller, id specifier) {
  return controller != nil && specifier != nil &&
         msgSend<NSUInteger>(shownRows(controller), sel("indexOfObjectIdenticalTo:"), specifier) !=
             NSNotFound;
}

bool userChangesValue(id controller, id specifier, id value) {
  if (!isShown(controller, specifier)) return false;
  forgetStoredValues();
  if (msgSend<PSCellType>(specifier, sel("cellType")) == PSSwitchCell &&
      readsOn(msgSend(specifier, sel("performGetter"))) == readsOn(value)) {
    return true;
  }
  if (msgSend<PSCellType>(specifier, sel("cellType")) == PSSliderCell && value != nil &&
      msgSend<BOOL>(value, sel("respondsToSelector:"), sel("doubleValue"))) {
    value = ns::doubleNumber(sliderValueFor(specifier, msgSend<double>(value, sel("doubleValue"))));
  }
  msgSend<void>(specifier, sel("performSetterWithValue:"), value);
  // The control stands where the user put it, or where the pane put it back: the stored value.
  internal::refreshCell(controller, specifier);
  return true;
}

void registerListControllerClass() {
  static const bool done = [] {
    uikit::registerViewControllerClasses();
    registerSpecifierClass();
    Class listClass =
        ClassBuilder("PSListController", objc_getClass("UIViewController"))
            .ivar("_specifiers", sizeof(id), 3, "@")
            .method("init", initListController)
            .method("dealloc", deallocListController)
            .method("specifier", specifier)
            .method("setSpecifier:", setSpecifier)
            .method("bundle", bundle)
            .method("specifiers", specifiers)
            .method("setSpecifiers:", setSpecifiers)
            .method("loadSpecifiersFromPlistName:target:", loadSpecifiersFromPlistName)
            .method("readPreferenceValue:", readPreferenceValue)
            .method("setPreferenceValue:specifier:", setPreferenceValue)
            .method("reloadSpecifier:animated:", reloadSpecifierAnimated)
            .method("reloadSpecifier:", reloadSpecifier)
            .method("indexOfSpecifier:", indexOfSpecifier)
            .method("containsSpecifier:", containsSpecifier)
            .method("specifierForID:", specifierForID)
            .method("insertContiguousSpecifiers:afterSpecifier:animated:",
                    insertContiguousSpecifiers)
            .method("removeContiguousSpecifiers:animated:", removeContiguousSpecifiers)
            .method("table", internal::tableOf)
            .method("cachedCellForSpecifier:", internal::cachedCell)
            .register_();
    specifiersOffset = ivar_getOffset(class_getInstanceVariable(listClass, "_specifiers"));
    shareStoreWithUserDefaults();
    return true;
  }();
  (void)done;
}

void forgetStoredValues() {
  domains().byName.clear();
}

}  // namespace preferences
