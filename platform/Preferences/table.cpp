// The list controller's table: the cells of the rows shown, made as the Settings application
// makes them, and the user's taps on them.
#include <Preferences/PSCells.h>
#include <Preferences/PSListController.h>
#include <Preferences/PSTableCell.h>
#include <device/journal.h>

#include "list_state.h"
#include "properties.h"

#include <unordered_set>

namespace preferences {

namespace internal {

ListState* listState(id self) {
  if (self == nil) return nullptr;
  if (ListState* state = ns::stateOf<ListState>(self)) return state;
  // A controller that was used as a plain view controller before its init: keep what it shows.
  auto fresh = std::make_unique<ListState>();
  if (auto* plain = ns::stateOf<uikit::ViewControllerState>(self)) {
    fresh->presented = plain->presented;
    fresh->presenting = plain->presenting;
  }
  ListState* state = fresh.get();
  ns::setObjectState(self, std::move(fresh));
  return state;
}

id tableOf(id self, SEL) {
  ListState* state = listState(self);
  if (state == nullptr) return nil;
  if (!state->table) {
    id table = msgSend(objc_getClass("UITableView"), sel("alloc"));
    state->table = ns::Ref::adopt(msgSend(table, sel("initWithFrame:style:"),
                                          CGRect{{0, 0}, {428, 926}}, UITableViewStyleGrouped));
  }
  return state->table;
}

id cachedCell(id self, SEL, id specifier) {
  ListState* state = listState(self);
  if (state == nullptr) return nil;
  auto found = state->cells.find(specifier);
  return found != state->cells.end() ? found->second.cell.get() : nil;
}

void refreshCell(id controller, id specifier) {
  id cell = cachedCell(controller, nullptr, specifier);
  if (cell != nil && isShown(controller, specifier)) {
    msgSend<void>(cell, sel("refreshCellContentsWithSpecifier:"), specifier);
  }
}

}  // namespace internal

namespace {

// The framework's cell for the row's type; a `cell` that names no type is reported, and the row
// gets a plain cell.
Class typeCellClass(id row) {
  PSCellType type = msgSend<PSCellType>(row, sel("cellType"));
  if (type == PSUnknownCell) {
    id named = internal::propertyNamed(msgSend(row, sel("properties")), "cell");
    journal::record("unknown-cell-type",
                    {{"row", rowName(row)},
                     {"cell", internal::isString(named) ? nlohmann::ordered_json(ns::utf8(named))
                                                        : nlohmann::ordered_json()},
                     {"reason", named == nil ? "no cell type" : "no such cell type"}});
  }
  return frameworkCellClass(type);
}

// The class a row's cell is made of: the one its `cellClass` names, else the framework's cell
// for its type. A name that gives no cell class is reported, and the framework's cell stands in.
Class cellClassFor(id row) {
  Class framework = typeCellClass(row);
  Class plain = objc_getClass("PSTableCell");
  id named = internal::propertyNamed(msgSend(row, sel("properties")), "cellClass");
  if (!internal::isString(named) || ns::utf8(named).empty()) return framework;
  std::string name = ns::utf8(named);
  Class cls = objc_lookUpClass(name.c_str());
  const char* problem = nullptr;
  if (cls == Nil) {
    problem = "no such class";
  } else {
    problem = "not a table cell";
    for (Class up = cls; up != Nil; up = class_getSuperclass(up)) {
      if (up == plain) problem = nullptr;
    }
  }
  if (problem == nullptr) return cls;
  journal::record("unknown-cell-class",
                  {{"row", rowName(row)}, {"class", name}, {"reason", problem}});
  return framework;
}

id makeCell(id row) {
  Class cls = cellClassFor(row);
  constexpr UITableViewCellStyle kStyle = UITableViewCellStyleDefault;
  id cell = msgSend(msgSend(cls, sel("alloc")), sel("initWithStyle:reuseIdentifier:specifier:"),
                    kStyle, ns::string(class_getName(cls)), row);
  if (cell != nil) {
    journal::record("cell",
                    {{"row", rowName(row)}, {"class", ns::className(cell)}, {"style", kStyle}});
  }
  return cell;
}

bool hasCell(id row) {
  return msgSend<PSCellType>(row, sel("cellType")) != PSGroupCell;
}

}  // namespace

void layOutCells(id controller) {
  internal::ListState* state = internal::listState(controller);
  if (state == nullptr) return;
  id table = internal::tableOf(controller, nullptr);
  std::vector<id> shown = ns::elements(msgSend(controller, sel("specifiers")));
  std::unordered_set<id> showing(shown.begin(), shown.end());
  for (auto& [row, entry] : state->cells) {
    if (showing.count(row) == 0 && entry.cell)
      msgSend<void>(entry.cell.get(), sel("removeFromSuperview"));
  }
  for (id row : shown) {
    if (!hasCell(row)) continue;
    auto found = state->cells.find(row);
    if (found == state->cells.end()) {
      // An entry even when no cell comes, so that a failing initialiser is asked once.
      found = state->cells
                  .emplace(row, internal::ListState::RowCell{ns::Ref(row),
                                                             ns::Ref::adopt(makeCell(row))})
                  .first;
      if (!found->second.cell) continue;
      msgSend<void>(table, sel("addSubview:"), found->second.cell.get());
      msgSend<void>(found->second.cell.get(), sel("refreshCellContentsWithSpecifier:"), row);
      continue;
    }
    id cell = found->second.cell;
    if (cell == nil) continue;
    bool returning = msgSend(cell, sel("superview")) != table;
    msgSend<void>(table, sel("addSubview:"), cell);
    if (returning) msgSend<void>(cell, sel("refreshCellContentsWithSpecifier:"), row);
  }
  if (ns::isKindOf(controller, "PSListItemsController")) internal::markCurrentItem(controller);
}

id cellForRow(id controller, id specifier) {
  return internal::cachedCell(controller, nullptr, specifier);
}

bool userTapsRow(id controller, id specifier, std::string* problem) {
  if (!isShown(controller, specifier)) return false;
  layOutCells(controller);
  ns::Ref cell(cellForRow(controller, specifier));
  msgSend<void>(cell.get(), sel("setSelected:animated:"), BOOL{YES}, BOOL{YES});
  id action = internal::propertyNamed(msgSend(specifier, sel("properties")), "action");
  id target = msgSend(specifier, sel("target"));
  if (internal::isString(action) && !ns::utf8(action).empty() && target != nil) {
    SEL selector = sel(ns::utf8(action).c_str());
    if (!msgSend<BOOL>(target, sel("respondsToSelector:"), selector)) {
      ns::raise("NSInvalidArgumentException", "-[" + ns::className(target) + " " +
                                                  ns::utf8(action) +
                                                  "]: unrecognized selector sent to instance");
    }
    msgSend<void>(target, selector, specifier);
  } else {
    internal::followRow(controller, specifier, problem);
  }
  msgSend<void>(cell.get(), sel("setSelected:animated:"), BOOL{NO}, BOOL{YES});
  return true;
}

}  // namespace preferences
