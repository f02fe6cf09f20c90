#include "row_text.h"

#include <Preferences/Preferences.h>
#include <UIKit/UIAlertController.h>
#include <UIKit/UIImage.h>
#include <UIKit/UITableViewCell.h>

namespace settings_sim {
namespace {

constexpr const char* kAccessoryTypes[] = {
    "none", "disclosure indicator", "detail disclosure button", "checkmark", "detail button"};
constexpr const char* kSelectionStyles[] = {"none", "blue", "gray", "default"};

template <size_t N>
std::string nameIn(const char* const (&names)[N], const json& value) {
  if (!value.is_number_integer()) return "";
  int64_t i = value.get<int64_t>();
  return i >= 0 && static_cast<size_t>(i) < N ? names[i] : std::to_string(i);
}

}  // namespace

id attribute(id row, const char* key) {
  return ns::valueFor(msgSend(row, sel("properties")), key);
}
json stringAttribute(id row, const char* key) {
  id value = attribute(row, key);
  return value != nil && ns::isKindOf(value, "NSString") ? json(ns::utf8(value)) : json();
}
bool readsOn(id value) {
  return value != nil && msgSend<BOOL>(value, sel("respondsToSelector:"), sel("boolValue")) &&
         msgSend<BOOL>(value, sel("boolValue")) != NO;
}
bool isSwitch(id row) {
  return msgSend<PSCellType>(row, sel("cellType")) == PSSwitchCell;
}

std::map<id, int> nestingDepths(id fullList) {
  std::vector<id> rows = ns::elements(fullList);
  std::map<id, int> depth;
  std::map<id, size_t> first;
  for (size_t i = 0; i < rows.size(); ++i) first.try_emplace(rows[i], i);
  std::vector<int> at(rows.size(), 0);
  for (size_t i = 0; i < rows.size(); ++i) {
    if (first[rows[i]] != i) continue;
    id count = attribute(rows[i], "nestedEntryCount");
    if (count == nil || !msgSend<BOOL>(count, sel("respondsToSelector:"), sel("intValue")))
      continue;
    long owned = msgSend<int>(count, sel("intValue"));
    for (size_t j = i + 1; j < rows.size() && static_cast<long>(j - i) <= owned; ++j) ++at[j];
  }
  for (size_t i = 0; i < rows.size(); ++i) depth.try_emplace(rows[i], at[i]);
  return depth;
}

std::string text(const json& value) {
  if (value.is_null()) return "nothing";
  if (value.is_boolean()) return value.get<bool>() ? "on" : "off";
  return value.dump();
}
std::string nameText(const json& name) {
  return name.is_string() ? name.get<std::string>() : "(unnamed row)";
}
std::string namesText(const json& names) {
  if (!names.is_array() || names.empty()) return "no rows";
  std::string out;
  for (const json& name : names) out += (out.empty() ? "" : ", ") + nameText(name);
  return out;
}

const char* alertStyleName(const json& style) {
  return style == UIAlertControllerStyleAlert ? "alert" : "action sheet";
}
const char* actionStyleName(const json& style) {
  if (style == UIAlertActionStyleCancel) return "cancel";
  if (style == UIAlertActionStyleDestructive) return "destructive";
  return "default";
}

json cellFields(id cell) {
  if (cell == nil) {
    return {{"class", nullptr},     {"style", nullptr},         {"detail", nullptr},
            {"accessory", nullptr}, {"accessoryType", nullptr}, {"selectionStyle", nullptr}};
  }
  id detail = msgSend(cell, sel("detailTextLabel"));
  id view = msgSend(cell, sel("accessoryView"));
  std::string accessory =
      ns::isKindOf(view, "UIImageView") ? uikit::imageAssetName(msgSend(view, sel("image"))) : "";
  return {{"class", ns::className(cell)},
          {"style", msgSend<NSInteger>(cell, sel("style"))},
          {"detail", detail == nil ? json() : ns::toJson(msgSend(detail, sel("text")))},
          {"accessory", accessory.empty() ? json() : json(accessory)},
          {"accessoryType", msgSend<NSInteger>(cell, sel("accessoryType"))},
          {"selectionStyle", msgSend<NSInteger>(cell, sel("selectionStyle"))}};
}

std::string cellText(const json& row) {
  if (!row.contains("class") || !row["class"].is_string()) return "";
  std::string out = "  (" + row["class"].get<std::string>();
  if (!row["detail"].is_null()) out += ", detail " + row["detail"].dump();
  if (row["accessory"].is_string()) {
    out += ", accessory " + row["accessory"].get<std::string>();
  } else if (row["accessoryType"] != UITableViewCellAccessoryNone) {
    out += ", " + nameIn(kAccessoryTypes, row["accessoryType"]);
  }
  if (row["selectionStyle"] != UITableViewCellSelectionStyleDefault) {
    out += ", selection " + nameIn(kSelectionStyles, row["selectionStyle"]);
  }
  if (row.contains("preview")) {
    const json& preview = row["preview"];
    out += ", preview " + preview["source"].get<std::string>();
    if (preview.contains("width")) {
      out += " " + preview["width"].dump() + "x" + preview["height"].dump();
    }
  }
  return out + ")";
}

std::vector<ShownRow> shownRows(id controller) {
  std::vector<ShownRow> rows;
  for (id row : ns::elements(msgSend(controller, sel("specifiers")))) {
    ShownRow shown;
    shown.row = row;
    shown.cell = preferences::cellForRow(controller, row);
    shown.group = msgSend<PSCellType>(row, sel("cellType")) == PSGroupCell;
    json label = stringAttribute(row, "label");
    json key = stringAttribute(row, "key");
    shown.label = label.is_string() ? label.get<std::string>()
                  : key.is_string() ? key.get<std::string>()
                                    : "";
    if (isSwitch(row)) shown.switchedOn = readsOn(msgSend(row, sel("performGetter")));
    rows.push_back(std::move(shown));
  }
  return rows;
}

}  // namespace settings_sim
