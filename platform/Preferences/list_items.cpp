// Pages pushed over a list: the navigation between list controllers, and PSListItemsController,
// the page of a list row's choices.
#include <Preferences/PSListController.h>
#include <Preferences/PSTableCell.h>
#include <device/journal.h>

#include "list_state.h"
#include "properties.h"

namespace preferences {
namespace {

using internal::ListState;
using internal::listState;

ListState* rootState(id controller) {
  ListState* state = listState(controller);
  while (state != nullptr && state->parent != nil) state = listState(state->parent);
  return state;
}
id rootOf(id controller) {
  id at = controller;
  while (ListState* state = listState(at)) {
    if (state->parent == nil) break;
    at = state->parent;
  }
  return at;
}

std::string titleOf(id controller) {
  ListState* state = listState(controller);
  nlohmann::ordered_json name = state != nullptr ? rowName(state->specifier) : nullptr;
  return name.is_string() ? name.get<std::string>() : "";
}

// The pushed page's table takes the place of the page below it in the window, as a navigation
// controller shows only its top page.
void swapTables(id from, id to) {
  id fromTable = msgSend(from, sel("table"));
  id window = msgSend(fromTable, sel("superview"));
  if (window == nil) return;
  msgSend<void>(fromTable, sel("removeFromSuperview"));
  msgSend<void>(window, sel("addSubview:"), msgSend(to, sel("table")));
}

// --- PSListController's navigation ---------------------------------------------------------

id specifier(id self, SEL) {
  ListState* state = listState(self);
  return state != nullptr ? state->specifier.get() : nil;
}
void setSpecifier(id self, SEL, id row) {
  if (ListState* state = listState(self)) state->specifier = ns::Ref(row);
}
id parentController(id self, SEL) {
  ListState* state = listState(self);
  return state != nullptr ? state->parent : nil;
}
void setParentController(id self, SEL, id parent) {
  if (ListState* state = listState(self)) state->parent = parent;
}
id rootController(id self, SEL) {
  return rootOf(self);
}

void pushController(id self, SEL, id child, BOOL animated) {
  if (child == nil) return;
  journal::record("push", {{"controller", ns::className(child)},
                           {"title", titleOf(child)},
                           {"from", ns::className(self)},
                           {"animated", animated != NO}});
  ListState* state = listState(child);
  state->parent = self;
  rootState(self)->pushed.push_back(ns::Ref(child));
  swapTables(self, child);
  layOutCells(child);
}

// --- PSListItemsController -----------------------------------------------------------------

// The page's rows: a group, then one PSListItemCell row per choice of the list row, titled by
// the choice's title and carrying its value under `value`.
id itemSpecifiers(id self, SEL) {
  ListState* state = listState(self);
  id& shown = internal::specifiersSlot(self);
  if (shown != nil) return shown;
  id rows = ns::mutableArray({});
  static const SEL make = sel("preferenceSpecifierNamed:target:set:get:detail:cell:edit:");
  Class specifierClass = objc_getClass("PSSpecifier");
  msgSend<void>(rows, sel("addObject:"), msgSend(specifierClass, sel("emptyGroupSpecifier")));
  if (state->specifier) {
    for (const RowChoice& choice : rowChoices(state->specifier)) {
      id item = msgSend(specifierClass, make, ns::string(choice.title), self, SEL{nullptr},
                        SEL{nullptr}, Class{Nil}, PSListItemCell, Class{Nil});
      msgSend<void>(item, sel("setProperty:forKey:"), choice.value.get(), ns::string("value"));
      msgSend<void>(rows, sel("addObject:"), item);
    }
  }
  shown = msgSend(rows, sel("mutableCopy"));
  return shown;
}

__attribute__((constructor)) void loadListItemsControllerClass() {
  registerListItemsControllerClass();
}

}  // namespace

namespace internal {

void markCurrentItem(id controller) {
  ListState* state = listState(controller);
  if (state == nullptr || !state->specifier) return;
  id current = msgSend(state->specifier.get(), sel("performGetter"));
  for (id row : ns::elements(msgSend(controller, sel("specifiers")))) {
    id cell = cachedCell(controller, nullptr, row);
    if (cell == nil || msgSend<PSCellType>(row, sel("cellType")) != PSListItemCell) continue;
    id value = propertyNamed(msgSend(row, sel("properties")), "value");
    bool checked = current != nil && value != nil && msgSend<BOOL>(value, sel("isEqual:"), current);
    msgSend<void>(cell, sel("setChecked:"), checked ? YES : NO);
  }
}

bool followRow(id controller, id row, std::string* problem) {
  PSCellType type = msgSend<PSCellType>(row, sel("cellType"));
  if (type == PSListItemCell && ns::isKindOf(controller, "PSListItemsController")) {
    ListState* state = listState(controller);
    if (state->specifier) {
      id value = propertyNamed(msgSend(row, sel("properties")), "value");
      msgSend<void>(state->specifier.get(), sel("performSetterWithValue:"), value);
      markCurrentItem(controller);
    }
    return true;
  }
  Class detail = msgSend<Class>(row, sel("detailControllerClass"));
  id named = propertyNamed(msgSend(row, sel("properties")), "detail");
  std::string name = isString(named) ? ns::utf8(named) : "";
  if (detail == Nil && name.empty()) return true;
  const char* reason = nullptr;
  if (detail == Nil) {
    reason = "no such class";
  } else {
    reason = "not a list controller";
    for (Class up = detail; up != Nil; up = class_getSuperclass(up)) {
      if (up == objc_getClass("PSListController")) reason = nullptr;
    }
  }
  if (reason != nullptr) {
    if (name.empty()) name = class_getName(detail);
    journal::record("push-refused", {{"row", rowName(row)}, {"class", name}, {"reason", reason}});
    nlohmann::ordered_json shown = rowName(row);
    if (problem != nullptr) {
      *problem = "row '" + (shown.is_string() ? shown.get<std::string>() : "") + "': detail " +
                 name + " is " + (detail == Nil ? "no class" : "no list controller");
    }
    return false;
  }
  ns::Ref page = ns::Ref::adopt(msgSend(msgSend(asId(detail), sel("alloc")), sel("init")));
  msgSend<void>(page.get(), sel("setSpecifier:"), row);
  msgSend<void>(page.get(), sel("setParentController:"), controller);
  msgSend<void>(controller, sel("pushController:animate:"), page.get(), BOOL{YES});
  return true;
}

}  // namespace internal

id topController(id root) {
  ListState* state = listState(root);
  return state != nullptr && !state->pushed.empty() ? state->pushed.back().get() : root;
}

std::vector<id> navigationStack(id root) {
  std::vector<id> stack{root};
  if (ListState* state = listState(root)) {
    for (const ns::Ref& page : state->pushed) stack.push_back(page.get());
  }
  return stack;
}

std::string pageTitle(id controller) {
  return titleOf(controller);
}

bool userGoesBack(id root) {
  ListState* state = listState(root);
  if (state == nullptr || state->pushed.empty()) return false;
  ns::Ref page = state->pushed.back();
  id parent = listState(page.get())->parent;
  journal::record("pop", {{"controller", ns::className(page.get())},
                          {"title", titleOf(page.get())},
                          {"animated", true}});
  swapTables(page.get(), parent);
  state->pushed.pop_back();
  // The page below shows what changed on the page above, as it does when it appears again.
  internal::refreshCell(parent, listState(page.get())->specifier.get());
  return true;
}

void registerListItemsControllerClass() {
  static const bool done = [] {
    registerListControllerClass();
    Class list = objc_getClass("PSListController");
    auto add = [list](const char* name, auto implementation) {
      class_addMethod(list, sel(name), reinterpret_cast<IMP>(implementation),
                      typeEncodingOf(implementation).c_str());
    };
    add("specifier", specifier);
    add("setSpecifier:", setSpecifier);
    add("parentController", parentController);
    add("setParentController:", setParentController);
    add("rootController", rootController);
    add("pushController:animate:", pushController);
    ClassBuilder("PSListItemsController", list).method("specifiers", itemSpecifiers).register_();
    return true;
  }();
  (void)done;
}

}  // namespace preferences
