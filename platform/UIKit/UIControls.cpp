#include <UIKit/UIControls.h>

#include "classes.h"

#include <algorithm>

namespace uikit {
namespace {

using internal::addMethod;
using internal::defineIfMissing;

struct SwitchState : ViewState {
  bool on = false;
};
struct SegmentedState : ViewState {
  std::vector<ns::Ref> titles;
  NSInteger selected = UISegmentedControlNoSegment;
};
struct SliderState : ViewState {
  float minimum = 0, maximum = 1, value = 0;
};
struct TextFieldState : ViewState {
  ns::Ref text, placeholder;
  bool secure = false;
  UIKeyboardType keyboard = UIKeyboardTypeDefault;
  UITextAutocapitalizationType capitals = UITextAutocapitalizationTypeSentences;
  UITextAutocorrectionType correction = UITextAutocorrectionTypeDefault;
};

template <typename T>
T* as(id self) {
  return viewStateAs<T>(self);
}
ns::Ref copied(id text) {
  return text == nil ? ns::Ref() : ns::Ref::adopt(msgSend(text, sel("copy")));
}

// --- UISwitch -------------------------------------------------------------------------------

BOOL isOn(id self, SEL) {
  auto* s = as<SwitchState>(self);
  return s != nullptr && s->on ? YES : NO;
}
void setOnAnimated(id self, SEL, BOOL on, BOOL) {
  if (auto* s = as<SwitchState>(self)) s->on = on != NO;
}
void setOn(id self, SEL, BOOL on) {
  setOnAnimated(self, nullptr, on, NO);
}

// --- UISegmentedControl ---------------------------------------------------------------------

id initWithItems(id self, SEL, id items) {
  id control = msgSend(self, sel("initWithFrame:"), CGRect{});
  if (auto* s = as<SegmentedState>(control)) {
    for (id item : ns::elements(items)) s->titles.push_back(copied(item));
  }
  return control;
}
NSUInteger numberOfSegments(id self, SEL) {
  auto* s = as<SegmentedState>(self);
  return s != nullptr ? s->titles.size() : 0;
}
id titleForSegment(id self, SEL, NSUInteger index) {
  auto* s = as<SegmentedState>(self);
  return s != nullptr && index < s->titles.size() ? s->titles[index].get() : nil;
}
NSInteger selectedSegmentIndex(id self, SEL) {
  auto* s = as<SegmentedState>(self);
  return s != nullptr ? s->selected : UISegmentedControlNoSegment;
}
void setSelectedSegmentIndex(id self, SEL, NSInteger index) {
  auto* s = as<SegmentedState>(self);
  if (s == nullptr) return;
  s->selected = index >= 0 && static_cast<size_t>(index) < s->titles.size()
                    ? index
                    : UISegmentedControlNoSegment;
}

// --- UISlider -------------------------------------------------------------------------------

float minimumValue(id self, SEL) {
  auto* s = as<SliderState>(self);
  return s != nullptr ? s->minimum : 0;
}
float maximumValue(id self, SEL) {
  auto* s = as<SliderState>(self);
  return s != nullptr ? s->maximum : 1;
}
float sliderValue(id self, SEL) {
  auto* s = as<SliderState>(self);
  return s != nullptr ? s->value : 0;
}
void pin(SliderState* s) {
  if (s->maximum < s->minimum) s->maximum = s->minimum;
  s->value = std::clamp(s->value, s->minimum, s->maximum);
}
void setMinimumValue(id self, SEL, float value) {
  if (auto* s = as<SliderState>(self)) {
    s->minimum = value;
    pin(s);
  }
}
void setMaximumValue(id self, SEL, float value) {
  if (auto* s = as<SliderState>(self)) {
    s->maximum = std::max(value, s->minimum);
    pin(s);
  }
}
void setValueAnimated(id self, SEL, float value, BOOL) {
  if (auto* s = as<SliderState>(self)) {
    s->value = value;
    pin(s);
  }
}
void setSliderValue(id self, SEL, float value) {
  setValueAnimated(self, nullptr, value, NO);
}

// --- UITextField ----------------------------------------------------------------------------

#define PLINKA_FIELD(getter, setter, type, field, fallback)   \
  type getter(id self, SEL) {                                 \
    auto* s = as<TextFieldState>(self);                       \
    return s != nullptr ? s->field : fallback;                \
  }                                                           \
  void setter(id self, SEL, type value) {                     \
    if (auto* s = as<TextFieldState>(self)) s->field = value; \
  }
PLINKA_FIELD(keyboardType, setKeyboardType, UIKeyboardType, keyboard, UIKeyboardTypeDefault)
PLINKA_FIELD(capitalization, setCapitalization, UITextAutocapitalizationType, capitals,
             UITextAutocapitalizationTypeSentences)
PLINKA_FIELD(correction, setCorrection, UITextAutocorrectionType, correction,
             UITextAutocorrectionTypeDefault)
#undef PLINKA_FIELD

id fieldText(id self, SEL) {
  auto* s = as<TextFieldState>(self);
  return s != nullptr ? s->text.get() : nil;
}
void setFieldText(id self, SEL, id text) {
  if (auto* s = as<TextFieldState>(self)) s->text = copied(text);
}
id placeholder(id self, SEL) {
  auto* s = as<TextFieldState>(self);
  return s != nullptr ? s->placeholder.get() : nil;
}
void setPlaceholder(id self, SEL, id text) {
  if (auto* s = as<TextFieldState>(self)) s->placeholder = copied(text);
}
BOOL isSecure(id self, SEL) {
  auto* s = as<TextFieldState>(self);
  return s != nullptr && s->secure ? YES : NO;
}
void setSecure(id self, SEL, BOOL secure) {
  if (auto* s = as<TextFieldState>(self)) s->secure = secure != NO;
}

__attribute__((constructor)) void loadControlClasses() {
  registerControlClasses();
}

}  // namespace

void registerControlClasses() {
  static const bool done = [] {
    registerViewClasses();
    Class control = defineIfMissing("UIControl", objc_getClass("UIView"));

    Class toggle = defineIfMissing("UISwitch", control);
    registerViewState(toggle, makeViewState<SwitchState>);
    addMethod(toggle, "isOn", isOn);
    addMethod(toggle, "setOn:", setOn);
    addMethod(toggle, "setOn:animated:", setOnAnimated);

    Class segmented = defineIfMissing("UISegmentedControl", control);
    registerViewState(segmented, makeViewState<SegmentedState>);
    addMethod(segmented, "initWithItems:", initWithItems);
    addMethod(segmented, "numberOfSegments", numberOfSegments);
    addMethod(segmented, "titleForSegmentAtIndex:", titleForSegment);
    addMethod(segmented, "selectedSegmentIndex", selectedSegmentIndex);
    addMethod(segmented, "setSelectedSegmentIndex:", setSelectedSegmentIndex);

    Class slider = defineIfMissing("UISlider", control);
    registerViewState(slider, makeViewState<SliderState>);
    addMethod(slider, "minimumValue", minimumValue);
    addMethod(slider, "setMinimumValue:", setMinimumValue);
    addMethod(slider, "maximumValue", maximumValue);
    addMethod(slider, "setMaximumValue:", setMaximumValue);
    addMethod(slider, "value", sliderValue);
    addMethod(slider, "setValue:", setSliderValue);
    addMethod(slider, "setValue:animated:", setValueAnimated);

    Class field = defineIfMissing("UITextField", control);
    registerViewState(field, makeViewState<TextFieldState>);
    addMethod(field, "text", fieldText);
    addMethod(field, "setText:", setFieldText);
    addMethod(field, "placeholder", placeholder);
    addMethod(field, "setPlaceholder:", setPlaceholder);
    addMethod(field, "isSecureTextEntry", isSecure);
    addMethod(field, "setSecureTextEntry:", setSecure);
    addMethod(field, "keyboardType", keyboardType);
    addMethod(field, "setKeyboardType:", setKeyboardType);
    addMethod(field, "autocapitalizationType", capitalization);
    addMethod(field, "setAutocapitalizationType:", setCapitalization);
    addMethod(field, "autocorrectionType", correction);
    addMethod(field, "setAutocorrectionType:", setCorrection);
    return true;
  }();
  (void)done;
}

}  // namespace uikit
