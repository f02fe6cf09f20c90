#include <Foundation/ObjectState.h>
#include <Preferences/PSTableCell.h>

namespace preferences {
namespace {

struct CellState : ns::ObjectState {
  UITableViewCellStyle style = UITableViewCellStyleDefault;
  ns::Ref reuseIdentifier;
  ns::Ref specifier;
};

CellState& stateFor(id self) {
  CellState* state = ns::stateOf<CellState>(self);
  if (state == nullptr) {
    auto fresh = std::make_unique<CellState>();
    state = fresh.get();
    ns::setObjectState(self, std::move(fresh));
  }
  return *state;
}

id initWithStyle(id self, SEL, UITableViewCellStyle style, id reuseIdentifier, id specifier) {
  id cell = sendSuper(self, objc_getClass("PSTableCell"), "init");
  if (cell == nil) return nil;
  CellState& state = stateFor(cell);
  state.style = style;
  state.reuseIdentifier = ns::Ref(reuseIdentifier);
  state.specifier = ns::Ref(specifier);
  return cell;
}
id specifier(id self, SEL) {
  return stateFor(self).specifier;
}
void setSpecifier(id self, SEL, id value) {
  stateFor(self).specifier = ns::Ref(value);
}
void refreshCellContents(id self, SEL, id value) {
  stateFor(self).specifier = ns::Ref(value);
}
UITableViewCellStyle style(id self, SEL) {
  return stateFor(self).style;
}
id reuseIdentifier(id self, SEL) {
  return stateFor(self).reuseIdentifier;
}

__attribute__((constructor)) void loadTableCellClass() {
  registerTableCellClass();
}

}  // namespace

void registerTableCellClass() {
  static const bool done = [] {
    ClassBuilder("PSTableCell", ns::classNamed("NSObject"))
        .method("initWithStyle:reuseIdentifier:specifier:", initWithStyle)
        .method("specifier", specifier)
        .method("setSpecifier:", setSpecifier)
        .method("refreshCellContentsWithSpecifier:", refreshCellContents)
        .method("style", style)
        .method("reuseIdentifier", reuseIdentifier)
        .register_();
    return true;
  }();
  (void)done;
}

}  // namespace preferences
