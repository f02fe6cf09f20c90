// How the settings pane's rows read as text and JSON: their attributes, the values and names
// the journal carries, what their cells show, and their nesting in the full row list.
#pragma once

#include <Foundation/Foundation.h>
#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

#include "pane_picture.h"

namespace settings_sim {

using json = nlohmann::ordered_json;

// A row's attribute (nil when it has none), and a string attribute as JSON (null otherwise).
id attribute(id row, const char* key);
json stringAttribute(id row, const char* key);
// True when `value` reads as on, as a switch shows it.
bool readsOn(id value);
bool isSwitch(id row);

// How deep each row of the full list is nested: the number of runs it lies in.
std::map<id, int> nestingDepths(id fullList);

// A value as `show` prints it (on, off, nothing, or its JSON); a row name, or "(unnamed row)";
// a list of names, or "no rows".
std::string text(const json& value);
std::string nameText(const json& name);
std::string namesText(const json& names);
const char* alertStyleName(const json& style);
const char* actionStyleName(const json& style);

// What a row's cell shows, for the `rows` entry: its class and style, the detail line, the
// accessory (the name its image was loaded by) and the accessory type and selection style.
json cellFields(id cell);
// The readable form: "  (CLASS, detail "...", accessory NAME, selection STYLE)", leaving out
// what a plain cell shows (no detail line, no accessory, the default selection style).
std::string cellText(const json& row);

// The rows the controller shows, with their cells, as `show` prints them and --png draws them.
std::vector<ShownRow> shownRows(id controller);

}  // namespace settings_sim
