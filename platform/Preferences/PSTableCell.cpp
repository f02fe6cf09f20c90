#include <Preferences/PSSpecifier.h>
#include <Preferences/PSTableCell.h>
#include <device/journal.h>

namespace preferences {
namespace {

Class cellClass = Nil;
ptrdiff_t specifierOffset = 0;
ptrdiff_t valueLabelOffset = 0;

id& valueLabelSlot(id self) {
  return *reinterpret_cast<id*>(reinterpret_cast<char*>(self) + valueLabelOffset);
}

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
  id label =
      msgSend(msgSend(objc_getClass("UILabel"), sel("alloc")), sel("initWithFrame:"), CGRect{});
  valueLabelSlot(cell) = label;
  msgSend<void>(msgSend(cell, sel("contentView")), sel("addSubview:"), label);
  return cell;
}
id valueLabel(id self, SEL) {
  return valueLabelSlot(self);
}
BOOL isChecked(id self, SEL) {
  return msgSend<NSInteger>(self, sel("accessoryType")) == UITableViewCellAccessoryCheckmark ? YES
                                                                                             : NO;
}
void setChecked(id self, SEL, BOOL checked) {
  msgSend<void>(self, sel("setAccessoryType:"),
                checked ? UITableViewCellAccessoryCheckmark : UITableViewCellAccessoryNone);
}
// What a title-value or list row shows beside its title: its value's title among the row's
// choices (nothing when the value is none of them), or the value's description.
id shownValue(id row, PSCellType type) {
  id value = msgSend(row, sel("performGetter"));
  if (type == PSLinkListCell) {
    std::optional<std::string> title = titleOfValue(row, value);
    return title ? ns::string(*title) : nil;
  }
  return value != nil ? ns::string(ns::describe(value)) : nil;
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
  bool valued = type == PSLinkListCell || type == PSTitleValueCell;
  msgSend<void>(valueLabelSlot(self), sel("setText:"), valued ? shownValue(value, type) : id{nil});
}
void setSelectedAnimated(id self, SEL, BOOL selected, BOOL animated) {
  journal::record("select", {{"row", rowName(specifierSlot(self))},
                             {"selected", selected != NO},
                             {"animated", animated != NO}});
  sendSuper<void>(self, cellClass, "setSelected:animated:", selected, animated);
}
void deallocCell(id self, SEL) {
  replaceSpecifier(self, nil);
  ns::release(valueLabelSlot(self));
  valueLabelSlot(self) = nil;
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
        .ivar("_valueLabel", sizeof(id), 3, "@")
        .method("valueLabel", valueLabel)
        .method("isChecked", isChecked)
        .method("setChecked:", setChecked)
        .method("initWithStyle:reuseIdentifier:specifier:", initWithStyle)
        .method("specifier", specifier)
        .method("setSpecifier:", setSpecifier)
        .method("refreshCellContentsWithSpecifier:", refreshCellContents)
        .method("setSelected:animated:", setSelectedAnimated)
        .method("dealloc", deallocCell);
    cellClass = builder.register_();
    specifierOffset = ivar_getOffset(class_getInstanceVariable(cellClass, "_specifier"));
    valueLabelOffset = ivar_getOffset(class_getInstanceVariable(cellClass, "_valueLabel"));
    return true;
  }();
  (void)done;
}

}  // namespace preferences
