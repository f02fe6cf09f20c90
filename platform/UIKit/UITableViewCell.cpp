#include <UIKit/UITableViewCell.h>

namespace uikit {
namespace {

struct TableViewState : ViewState {
  UITableViewStyle style = UITableViewStylePlain;
};

TableViewCellState* cellState(id self) {
  return viewStateAs<TableViewCellState>(self);
}

id newView(const char* className) {
  return msgSend(msgSend(objc_getClass(className), sel("alloc")), sel("initWithFrame:"), CGRect{});
}

id initWithStyle(id self, SEL, UITableViewCellStyle style, id reuseIdentifier) {
  id cell = sendSuper(self, objc_getClass("UITableViewCell"),
                      "initWithFrame:", CGRect{{0, 0}, {320, 44}});
  TableViewCellState* state = cellState(cell);
  if (state == nullptr) return cell;
  state->style = style;
  state->reuseIdentifier = ns::Ref::adopt(msgSend(reuseIdentifier, sel("copy")));
  state->contentView = ns::Ref::adopt(newView("UIView"));
  msgSend<void>(cell, sel("addSubview:"), state->contentView.get());
  state->imageView = ns::Ref::adopt(newView("UIImageView"));
  state->textLabel = ns::Ref::adopt(newView("UILabel"));
  if (style != UITableViewCellStyleDefault) {
    state->detailTextLabel = ns::Ref::adopt(newView("UILabel"));
  }
  for (const ns::Ref* part : {&state->imageView, &state->textLabel, &state->detailTextLabel}) {
    if (*part) msgSend<void>(state->contentView.get(), sel("addSubview:"), part->get());
  }
  return cell;
}
id initWithFrame(id self, SEL, CGRect frame) {
  id cell =
      msgSend(self, sel("initWithStyle:reuseIdentifier:"), UITableViewCellStyleDefault, id{nil});
  msgSend<void>(cell, sel("setFrame:"), frame);
  return cell;
}

#define PLINKA_CELL_PART(getter, field)                 \
  id getter(id self, SEL) {                             \
    TableViewCellState* state = cellState(self);        \
    return state != nullptr ? state->field.get() : nil; \
  }
PLINKA_CELL_PART(reuseIdentifier, reuseIdentifier)
PLINKA_CELL_PART(contentView, contentView)
PLINKA_CELL_PART(textLabel, textLabel)
PLINKA_CELL_PART(detailTextLabel, detailTextLabel)
PLINKA_CELL_PART(imageView, imageView)
PLINKA_CELL_PART(accessoryView, accessoryView)
#undef PLINKA_CELL_PART

void setAccessoryView(id self, SEL, id view) {
  if (TableViewCellState* state = cellState(self)) state->accessoryView = ns::Ref(view);
}
UITableViewCellStyle style(id self, SEL) {
  TableViewCellState* state = cellState(self);
  return state != nullptr ? state->style : UITableViewCellStyleDefault;
}
UITableViewCellAccessoryType accessoryType(id self, SEL) {
  TableViewCellState* state = cellState(self);
  return state != nullptr ? state->accessoryType : UITableViewCellAccessoryNone;
}
void setAccessoryType(id self, SEL, UITableViewCellAccessoryType type) {
  if (TableViewCellState* state = cellState(self)) state->accessoryType = type;
}
UITableViewCellSelectionStyle selectionStyle(id self, SEL) {
  TableViewCellState* state = cellState(self);
  return state != nullptr ? state->selectionStyle : UITableViewCellSelectionStyleDefault;
}
void setSelectionStyle(id self, SEL, UITableViewCellSelectionStyle value) {
  if (TableViewCellState* state = cellState(self)) state->selectionStyle = value;
}
void setSelectedAnimated(id self, SEL, BOOL selected, BOOL) {
  if (TableViewCellState* state = cellState(self)) state->selected = selected != NO;
}
void setSelected(id self, SEL, BOOL selected) {
  msgSend<void>(self, sel("setSelected:animated:"), selected, BOOL{NO});
}
BOOL isSelected(id self, SEL) {
  TableViewCellState* state = cellState(self);
  return state != nullptr && state->selected ? YES : NO;
}

id initTable(id self, SEL, CGRect frame, UITableViewStyle style) {
  id table = msgSend(self, sel("initWithFrame:"), frame);
  if (auto* state = viewStateAs<TableViewState>(table)) state->style = style;
  return table;
}
UITableViewStyle tableStyle(id self, SEL) {
  auto* state = viewStateAs<TableViewState>(self);
  return state != nullptr ? state->style : UITableViewStylePlain;
}

template <typename T>
std::unique_ptr<ViewState> make() {
  return std::make_unique<T>();
}

__attribute__((constructor)) void loadTableViewClasses() {
  registerTableViewClasses();
}

}  // namespace

void registerTableViewClasses() {
  static const bool done = [] {
    registerViewClasses();
    ClassBuilder cell("UITableViewCell", objc_getClass("UIView"));
    cell.method("initWithStyle:reuseIdentifier:", initWithStyle)
        .method("initWithFrame:", initWithFrame)
        .method("reuseIdentifier", reuseIdentifier)
        .method("contentView", contentView)
        .method("textLabel", textLabel)
        .method("detailTextLabel", detailTextLabel)
        .method("imageView", imageView)
        .method("accessoryView", accessoryView)
        .method("setAccessoryView:", setAccessoryView)
        .method("style", style)
        .method("accessoryType", accessoryType)
        .method("setAccessoryType:", setAccessoryType)
        .method("selectionStyle", selectionStyle)
        .method("setSelectionStyle:", setSelectionStyle)
        .method("setSelected:animated:", setSelectedAnimated)
        .method("setSelected:", setSelected)
        .method("isSelected", isSelected)
        .method("selected", isSelected);
    registerViewState(cell.register_(), make<TableViewCellState>);
    ClassBuilder table("UITableView", objc_getClass("UIView"));
    table.method("initWithFrame:style:", initTable).method("style", tableStyle);
    registerViewState(table.register_(), make<TableViewState>);
    return true;
  }();
  (void)done;
}

}  // namespace uikit
