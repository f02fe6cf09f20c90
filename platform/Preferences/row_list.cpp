// Row lists: the Root.plist-style files a settings pane describes its rows in.
#include <Foundation/ObjectState.h>
#include <Preferences/PSListController.h>

#include <filesystem>
#include <fstream>

namespace preferences {
namespace {

namespace fs = std::filesystem;

bool fail(std::string* error, const std::string& message) {
  if (error != nullptr) *error = message;
  return false;
}

bool readable(const std::string& path, std::string* error) {
  std::error_code code;
  fs::file_status status = fs::status(path, code);
  if (!fs::exists(status)) return fail(error, "cannot read row list " + path + ": no such file");
  if (fs::is_directory(status)) return fail(error, "cannot read row list " + path + ": a folder");
  std::ifstream file(path, std::ios::binary);
  if (!file) return fail(error, "cannot read row list " + path + ": permission denied");
  return true;
}

// The controller a tap on the row pushes: the class its `detail` names (looked up now, as the
// device's loader does: a name that gives no class leaves none), else the list page for a list
// row.
Class detailClass(id item, PSCellType type) {
  id named = ns::valueFor(item, "detail");
  if (named != nil && ns::isKindOf(named, "NSString") && !ns::utf8(named).empty()) {
    return objc_lookUpClass(ns::utf8(named).c_str());
  }
  return type == PSLinkListCell ? objc_lookUpClass("PSListItemsController") : Class{Nil};
}

}  // namespace

id loadRowList(const std::string& hostPath, id target, std::string* error, std::string* title) {
  if (!readable(hostPath, error)) return nil;
  id root = ns::readPlist(hostPath);
  if (root == nil) {
    fail(error, "row list " + hostPath + " is not a property list");
    return nil;
  }
  if (!ns::isKindOf(root, "NSDictionary")) {
    fail(error, "row list " + hostPath + " is not a dictionary");
    return nil;
  }
  id items = ns::valueFor(root, "items");
  if (items == nil || !ns::isKindOf(items, "NSArray")) {
    fail(error, "row list " + hostPath + " has no items array");
    return nil;
  }
  if (title != nullptr) {
    id given = ns::valueFor(root, "title");
    *title = given != nil && ns::isKindOf(given, "NSString") ? ns::utf8(given) : "";
  }
  static const Class specifierClass = objc_getClass("PSSpecifier");
  static const SEL makeRow = sel("preferenceSpecifierNamed:target:set:get:detail:cell:edit:");
  static const SEL setter = sel("setPreferenceValue:specifier:");
  static const SEL getter = sel("readPreferenceValue:");
  static const SEL setProperties = sel("setProperties:");
  static const SEL addObject = sel("addObject:");
  id rows = ns::mutableArray({});
  size_t position = 0;
  for (id item : ns::elements(items)) {
    ++position;
    if (!ns::isKindOf(item, "NSDictionary")) {
      fail(error,
           "row list " + hostPath + ": item " + std::to_string(position) + " is not a dictionary");
      return nil;
    }
    id cell = ns::valueFor(item, "cell");
    id label = ns::valueFor(item, "label");
    PSCellType type = cell != nil && ns::isKindOf(cell, "NSString") ? cellTypeNamed(ns::utf8(cell))
                                                                    : PSUnknownCell;
    id row = msgSend(specifierClass, makeRow,
                     label != nil && ns::isKindOf(label, "NSString") ? label : id{nil}, target,
                     setter, getter, detailClass(item, type), type, Class{Nil});
    msgSend<void>(row, setProperties, item);
    msgSend<void>(rows, addObject, row);
  }
  return rows;
}

}  // namespace preferences
