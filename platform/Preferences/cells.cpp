// The framework's cells for rows with a control: PSControlTableCell and its switch, segment and
// slider cells, and PSEditableTableCell for text rows.
#include <Preferences/PSCells.h>
#include <Preferences/PSSpecifier.h>
#include <Preferences/PSTableCell.h>
#include <UIKit/UIControls.h>

#include "properties.h"

#include <cmath>

namespace preferences {
namespace {

Class controlCellClass = Nil;
Class editableCellClass = Nil;
ptrdiff_t controlOffset = 0;
ptrdiff_t textFieldOffset = 0;

id& slot(id self, ptrdiff_t offset) {
  return *reinterpret_cast<id*>(reinterpret_cast<char*>(self) + offset);
}

id attribute(id row, std::string_view key) {
  return internal::propertyNamed(msgSend(row, sel("properties")), key);
}
bool readsOn(id value) {
  return value != nil && msgSend<BOOL>(value, sel("respondsToSelector:"), sel("boolValue")) &&
         msgSend<BOOL>(value, sel("boolValue")) != NO;
}
double numberOf(id value, double fallback) {
  if (value == nil || !msgSend<BOOL>(value, sel("respondsToSelector:"), sel("doubleValue"))) {
    return fallback;
  }
  return msgSend<double>(value, sel("doubleValue"));
}
id newView(const char* cls) {
  return msgSend(msgSend(objc_getClass(cls), sel("alloc")), sel("initWithFrame:"), CGRect{});
}

// --- PSControlTableCell ---------------------------------------------------------------------

id control(id self, SEL) {
  return slot(self, controlOffset);
}
void setControl(id self, SEL, id value) {
  id old = slot(self, controlOffset);
  slot(self, controlOffset) = ns::retain(value);
  ns::release(old);
}
void deallocControlCell(id self, SEL) {
  setControl(self, nullptr, nil);
  sendSuper<void>(self, controlCellClass, "dealloc");
}

// A switch cell's control is its accessory view, as on the device.
void refreshSwitch(id self, SEL, id row) {
  sendSuper<void>(self, controlCellClass, "refreshCellContentsWithSpecifier:", row);
  id toggle = control(self, nullptr);
  if (toggle == nil) {
    toggle = ns::autorelease(newView("UISwitch"));
    setControl(self, nullptr, toggle);
    msgSend<void>(self, sel("setAccessoryView:"), toggle);
    msgSend<void>(toggle, sel("setFrame:"), CGRect{{0, 0}, {51, 31}});
  }
  msgSend<void>(toggle, sel("setOn:"), readsOn(msgSend(row, sel("performGetter"))) ? YES : NO);
  msgSend<void>(self, sel("setSelectionStyle:"), UITableViewCellSelectionStyleNone);
}

// A segment cell makes its control from the row's titles at each refresh (a data source may
// answer other choices) and selects the segment of the row's value.
void refreshSegment(id self, SEL, id row) {
  sendSuper<void>(self, controlCellClass, "refreshCellContentsWithSpecifier:", row);
  std::vector<RowChoice> choices = rowChoices(row);
  std::vector<id> titles;
  for (const RowChoice& choice : choices) titles.push_back(ns::string(choice.title));
  id segments = msgSend(msgSend(objc_getClass("UISegmentedControl"), sel("alloc")),
                        sel("initWithItems:"), ns::array(titles));
  id old = control(self, nullptr);
  if (old != nil) msgSend<void>(old, sel("removeFromSuperview"));
  setControl(self, nullptr, segments);
  msgSend<void>(msgSend(self, sel("contentView")), sel("addSubview:"), segments);
  ns::release(segments);
  id value = msgSend(row, sel("performGetter"));
  NSInteger selected = UISegmentedControlNoSegment;
  for (size_t i = 0; value != nil && i < choices.size(); ++i) {
    if (msgSend<BOOL>(choices[i].value.get(), sel("isEqual:"), value)) {
      selected = static_cast<NSInteger>(i);
      break;
    }
  }
  msgSend<void>(segments, sel("setSelectedSegmentIndex:"), selected);
  msgSend<void>(self, sel("setSelectionStyle:"), UITableViewCellSelectionStyleNone);
}

void refreshSlider(id self, SEL, id row) {
  sendSuper<void>(self, controlCellClass, "refreshCellContentsWithSpecifier:", row);
  id slider = control(self, nullptr);
  if (slider == nil) {
    slider = ns::autorelease(newView("UISlider"));
    setControl(self, nullptr, slider);
    msgSend<void>(msgSend(self, sel("contentView")), sel("addSubview:"), slider);
  }
  SliderRange range = sliderRange(row);
  msgSend<void>(slider, sel("setMinimumValue:"), static_cast<float>(range.minimum));
  msgSend<void>(slider, sel("setMaximumValue:"), static_cast<float>(range.maximum));
  double value = numberOf(msgSend(row, sel("performGetter")), range.minimum);
  msgSend<void>(slider, sel("setValue:"), static_cast<float>(value));
  // Without showValue the cell shows no title and no value: the slider takes the whole row.
  if (readsOn(attribute(row, "showValue"))) {
    msgSend<void>(msgSend(self, sel("valueLabel")), sel("setText:"),
                  ns::string(sliderValueText(std::clamp(value, range.minimum, range.maximum))));
  }
  msgSend<void>(self, sel("setSelectionStyle:"), UITableViewCellSelectionStyleNone);
}

// --- PSEditableTableCell --------------------------------------------------------------------

id textField(id self, SEL) {
  return slot(self, textFieldOffset);
}
void deallocEditableCell(id self, SEL) {
  ns::release(slot(self, textFieldOffset));
  slot(self, textFieldOffset) = nil;
  sendSuper<void>(self, editableCellClass, "dealloc");
}

UIKeyboardType keyboardFor(id row) {
  auto on = [&](const char* key) { return readsOn(attribute(row, key)); };
  id keyboard = attribute(row, "keyboard");
  std::string named = internal::isString(keyboard) ? ns::utf8(keyboard) : "";
  if (on("isURL")) return UIKeyboardTypeURL;
  if (on("isEmail") || on("isEmailAddress")) return UIKeyboardTypeEmailAddress;
  if (on("isNumeric")) return UIKeyboardTypeNumberPad;
  if (on("isDecimalPad")) return UIKeyboardTypeDecimalPad;
  if (named == "numbers") return UIKeyboardTypeNumbersAndPunctuation;
  if (named == "phone") return UIKeyboardTypePhonePad;
  return UIKeyboardTypeDefault;
}
UITextAutocapitalizationType capitalsFor(id row) {
  id caps = attribute(row, "autoCaps");
  std::string named = internal::isString(caps) ? ns::utf8(caps) : "";
  if (named == "words") return UITextAutocapitalizationTypeWords;
  if (named == "sentences") return UITextAutocapitalizationTypeSentences;
  if (named == "all" || named == "allCharacters") return UITextAutocapitalizationTypeAllCharacters;
  return caps != nil ? UITextAutocapitalizationTypeNone : UITextAutocapitalizationTypeSentences;
}

void refreshEditable(id self, SEL, id row) {
  sendSuper<void>(self, editableCellClass, "refreshCellContentsWithSpecifier:", row);
  id field = slot(self, textFieldOffset);
  if (field == nil) {
    field = newView("UITextField");
    slot(self, textFieldOffset) = field;
    msgSend<void>(msgSend(self, sel("contentView")), sel("addSubview:"), field);
  }
  id value = msgSend(row, sel("performGetter"));
  msgSend<void>(field, sel("setText:"), value != nil ? ns::string(ns::describe(value)) : id{nil});
  id placeholder = attribute(row, "placeholder");
  msgSend<void>(field, sel("setPlaceholder:"), internal::isString(placeholder) ? placeholder : nil);
  msgSend<void>(field, sel("setSecureTextEntry:"),
                msgSend<PSCellType>(row, sel("cellType")) == PSSecureEditTextCell ? YES : NO);
  msgSend<void>(field, sel("setKeyboardType:"), keyboardFor(row));
  msgSend<void>(field, sel("setAutocapitalizationType:"), capitalsFor(row));
  id correction = attribute(row, "autoCorrection");
  msgSend<void>(field, sel("setAutocorrectionType:"),
                correction == nil     ? UITextAutocorrectionTypeDefault
                : readsOn(correction) ? UITextAutocorrectionTypeYes
                                      : UITextAutocorrectionTypeNo);
  msgSend<void>(self, sel("setSelectionStyle:"), UITableViewCellSelectionStyleNone);
}

__attribute__((constructor)) void loadFrameworkCellClasses() {
  registerFrameworkCellClasses();
}

}  // namespace

SliderRange sliderRange(id row) {
  SliderRange range;
  range.minimum = numberOf(attribute(row, "min"), 0);
  range.maximum = numberOf(attribute(row, "max"), 1);
  range.segmented = readsOn(attribute(row, "isSegmented"));
  id count = attribute(row, "segmentCount");
  range.segments = count != nil && msgSend<BOOL>(count, sel("respondsToSelector:"), sel("intValue"))
                       ? msgSend<int>(count, sel("intValue"))
                       : 0;
  return range;
}

double sliderValueFor(id row, double requested) {
  SliderRange range = sliderRange(row);
  double top = std::max(range.maximum, range.minimum);
  double value = std::clamp(requested, range.minimum, top);
  if (range.segmented && range.segments > 0 && top > range.minimum) {
    double step = (top - range.minimum) / range.segments;
    value = range.minimum + std::round((value - range.minimum) / step) * step;
  }
  return value;
}

std::string sliderValueText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  std::string out = text;
  while (out.back() == '0') out.pop_back();
  if (out.back() == '.') out.pop_back();
  return out == "-0" ? "0" : out;
}

Class frameworkCellClass(PSCellType type) {
  switch (type) {
    case PSSwitchCell:
      return objc_getClass("PSSwitchTableCell");
    case PSSegmentCell:
      return objc_getClass("PSSegmentTableCell");
    case PSSliderCell:
      return objc_getClass("PSSliderTableCell");
    case PSEditTextCell:
    case PSSecureEditTextCell:
      return objc_getClass("PSEditableTableCell");
    default:
      return objc_getClass("PSTableCell");
  }
}

void registerFrameworkCellClasses() {
  static const bool done = [] {
    registerTableCellClass();
    uikit::registerControlClasses();
    Class base = objc_getClass("PSTableCell");
    ClassBuilder controlCell("PSControlTableCell", base);
    controlCell.ivar("_control", sizeof(id), 3, "@")
        .method("control", control)
        .method("setControl:", setControl)
        .method("dealloc", deallocControlCell);
    controlCellClass = controlCell.register_();
    controlOffset = ivar_getOffset(class_getInstanceVariable(controlCellClass, "_control"));
    ClassBuilder("PSSwitchTableCell", controlCellClass)
        .method("refreshCellContentsWithSpecifier:", refreshSwitch)
        .register_();
    ClassBuilder("PSSegmentTableCell", controlCellClass)
        .method("refreshCellContentsWithSpecifier:", refreshSegment)
        .register_();
    ClassBuilder("PSSliderTableCell", controlCellClass)
        .method("refreshCellContentsWithSpecifier:", refreshSlider)
        .register_();
    ClassBuilder editable("PSEditableTableCell", base);
    editable.ivar("_textField", sizeof(id), 3, "@")
        .method("textField", textField)
        .method("refreshCellContentsWithSpecifier:", refreshEditable)
        .method("dealloc", deallocEditableCell);
    editableCellClass = editable.register_();
    textFieldOffset = ivar_getOffset(class_getInstanceVariable(editableCellClass, "_textField"));
    return true;
  }();
  (void)done;
}

}  // namespace preferences
