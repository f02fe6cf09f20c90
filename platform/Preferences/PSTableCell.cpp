#include <Preferences/PSSpecifier.h>
#include <Preferences/PSTableCell.h>
#include <device/journal.h>

namespace preferences {
namespace {

Class cellClass = Nil;
ptrdiff_t specifierOffset = 0;

id& specifierSlot(id self) {
  return *reinterpret_cast<id*>(reinterpret_cast<char*>(self) + specifierOffset);
}

void replaceSpecifier(id self, id value) {
  id old = specifierSlot(self);
  specifierSlot(self) = ns::retain(value);
  ns::release(old);
}

id initWithStyle(id self, SEL, UITableViewCellStyle style, id reuseIdentifier, id specifier) {
  id cell = sendSuper(self, cellClass, "initWithStyle:reuseIdentifier:", style, reuseIdentifier);
  if (cell == nil) return nil;
  replaceSpecifier(cell, specifier);
  return cell;
}
id specifier(id self, SEL) {
  return specifierSlot(self);
}
void setSpecifier(id self, SEL, id value) {
  replaceSpecifier(self, value);
}
void refreshCellContents(id self, SEL, id value) {
  replaceSpecifier(self, value);
  msgSend<void>(msgSend(self, sel("textLabel")), sel("setText:"), msgSend(value, sel("name")));
  PSCellType type = msgSend<PSCellType>(value, sel("cellType"));
  if (type == PSLinkCell || type == PSLinkListCell) {
    msgSend<void>(self, sel("setAccessoryType:"), UITableViewCellAccessoryDisclosureIndicator);
    msgSend<void>(self, sel("setSelectionStyle:"), UITableViewCellSelectionStyleDefault);
  }
}
void setSelectedAnimated(id self, SEL, BOOL selected, BOOL animated) {
  journal::record("select", {{"row", rowName(specifierSlot(self))},
                             {"selected", selected != NO},
                             {"animated", animated != NO}});
  sendSuper<void>(self, cellClass, "setSelected:animated:", selected, animated);
}
void deallocCell(id self, SEL) {
  replaceSpecifier(self, nil);
  sendSuper<void>(self, cellClass, "dealloc");
}

__attribute__((constructor)) void loadTableCellClass() {
  registerTableCellClass();
}

}  // namespace

void registerTableCellClass() {
  static const bool done = [] {
    registerSpecifierClass();
    uikit::registerTableViewClasses();
    ClassBuilder builder("PSTableCell", objc_getClass("UITableViewCell"));
    builder.ivar("_specifier", sizeof(id), 3, "@")
        .method("initWithStyle:reuseIdentifier:specifier:", initWithStyle)
        .method("specifier", specifier)
        .method("setSpecifier:", setSpecifier)
        .method("refreshCellContentsWithSpecifier:", refreshCellContents)
        .method("setSelected:animated:", setSelectedAnimated)
        .method("dealloc", deallocCell);
    cellClass = builder.register_();
    specifierOffset = ivar_getOffset(class_getInstanceVariable(cellClass, "_specifier"));
    return true;
  }();
  (void)done;
}

}  // namespace preferences
