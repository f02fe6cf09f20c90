#include <Foundation/ObjectState.h>
#include <Preferences/PSSpecifier.h>

#include <array>
#include <typeinfo>

#include "properties.h"

namespace preferences {
namespace {

struct SpecifierState : ns::ObjectState {
  // An NSMutableDictionary, made when first asked for: a row read from a list gets its own at
  // once, and an empty one made before would only be thrown away.
  ns::Ref properties;
  ns::Ref name;
  id target = nil;  // not retained
  SEL setter = nullptr;
  SEL getter = nullptr;
  Class detail = Nil;
  Class edit = Nil;
  PSCellType cellType = PSUnknownCell;
};

constexpr std::array<const char*, 16> kCellNames = {
    "PSGroupCell",          "PSLinkCell",    "PSLinkListCell",     "PSListItemCell",
    "PSTitleValueCell",     "PSSliderCell",  "PSSwitchCell",       "PSStaticTextCell",
    "PSEditTextCell",       "PSSegmentCell", "PSGiantIconCell",    "PSGiantCell",
    "PSSecureEditTextCell", "PSButtonCell",  "PSEditTextViewCell", "PSSpinnerCell"};

ns::Ref newDictionary() {
  return ns::Ref::adopt(internal::newProperties(nil));
}

SpecifierState& stateFor(id self) {
  // Asked for on every attribute read: an exact type test is enough, as only this file makes
  // the state, and cheaper than a dynamic_cast.
  ns::ObjectState* slot = ns::objectState(self);
  SpecifierState* state = slot != nullptr && typeid(*slot) == typeid(SpecifierState)
                              ? static_cast<SpecifierState*>(slot)
                              : nullptr;
  if (state == nullptr) {
    auto fresh = std::make_unique<SpecifierState>();
    state = fresh.get();
    ns::setObjectState(self, std::move(fresh));
  }
  return *state;
}

id propertiesOf(id self) {
  SpecifierState& state = stateFor(self);
  if (!state.properties) state.properties = newDictionary();
  return state.properties;
}

// A row is made with its state in the same block: a long row list makes many.
id allocSpecifier(id self, SEL) {
  return ns::newObjectWith<SpecifierState>(reinterpret_cast<Class>(self));
}
id newSpecifier(id self, SEL) {
  static const SEL init = sel("init");
  return msgSend(allocSpecifier(self, nullptr), init);
}

id initSpecifier(id self, SEL) {
  stateFor(self);
  return self;
}

id specifierNamed(id self, SEL, id name, id target, SEL setter, SEL getter, Class detail,
                  PSCellType cell, Class edit) {
  static const SEL make = sel("new");
  static const SEL copy = sel("copy");
  id specifier = ns::autorelease(msgSend(self, make));
  SpecifierState& state = stateFor(specifier);
  state.name = name == nil ? ns::Ref() : ns::Ref::adopt(msgSend(name, copy));
  state.target = target;
  state.setter = setter;
  state.getter = getter;
  state.detail = detail;
  state.cellType = cell;
  state.edit = edit;
  return specifier;
}

id emptyGroupSpecifier(id self, SEL) {
  return specifierNamed(self, nullptr, nil, nil, nullptr, nullptr, Nil, PSGroupCell, Nil);
}

id properties(id self, SEL) {
  return propertiesOf(self);
}
// The framework keeps its own mutable copy, so later changes to the caller's dictionary do not
// reach the row.
void setProperties(id self, SEL, id dictionary) {
  stateFor(self).properties = ns::Ref::adopt(internal::newProperties(dictionary));
}
id propertyForKey(id self, SEL, id key) {
  return msgSend(propertiesOf(self), sel("objectForKey:"), key);
}
void setPropertyForKey(id self, SEL, id value, id key) {
  msgSend<void>(propertiesOf(self), sel("setObject:forKey:"), value, key);
}
void removePropertyForKey(id self, SEL, id key) {
  msgSend<void>(propertiesOf(self), sel("removeObjectForKey:"), key);
}

id name(id self, SEL) {
  return stateFor(self).name;
}
void setName(id self, SEL, id value) {
  stateFor(self).name = value == nil ? ns::Ref() : ns::Ref::adopt(msgSend(value, sel("copy")));
}
id identifier(id self, SEL) {
  id given = internal::propertyNamed(propertiesOf(self), "id");
  return given != nil ? given : stateFor(self).name.get();
}
id target(id self, SEL) {
  return stateFor(self).target;
}
void setTarget(id self, SEL, id value) {
  stateFor(self).target = value;
}
PSCellType cellType(id self, SEL) {
  return stateFor(self).cellType;
}
void setCellType(id self, SEL, PSCellType type) {
  stateFor(self).cellType = type;
}
Class detailControllerClass(id self, SEL) {
  return stateFor(self).detail;
}
void setDetailControllerClass(id self, SEL, Class cls) {
  stateFor(self).detail = cls;
}

// The row's value, from its target through its getter; nil without a target or getter.
id performGetter(id self, SEL) {
  SpecifierState& state = stateFor(self);
  if (state.target == nil || state.getter == nullptr ||
      !msgSend<BOOL>(state.target, sel("respondsToSelector:"), state.getter)) {
    return nil;
  }
  return msgSend(state.target, state.getter, self);
}
void performSetterWithValue(id self, SEL, id value) {
  SpecifierState& state = stateFor(self);
  if (state.target == nil || state.setter == nullptr ||
      !msgSend<BOOL>(state.target, sel("respondsToSelector:"), state.setter)) {
    return;
  }
  msgSend<void>(state.target, state.setter, value, self);
}

id describeSpecifier(id self, SEL) {
  nlohmann::ordered_json shown = rowName(self);
  return ns::string("<PSSpecifier " + (shown.is_string() ? shown.get<std::string>() : "") +
                    " cell " + std::to_string(stateFor(self).cellType) + ">");
}

__attribute__((constructor)) void loadSpecifierClass() {
  registerSpecifierClass();
}

}  // namespace

PSCellType cellTypeNamed(std::string_view name) {
  for (size_t i = 0; i < kCellNames.size(); ++i) {
    if (name == kCellNames[i]) return static_cast<PSCellType>(i);
  }
  return PSUnknownCell;
}

std::string cellTypeName(PSCellType type) {
  if (type < 0 || static_cast<size_t>(type) >= kCellNames.size()) return "";
  return kCellNames[static_cast<size_t>(type)];
}

nlohmann::ordered_json rowName(id specifier) {
  if (specifier == nil) return nullptr;
  id label = msgSend(specifier, sel("name"));
  if (internal::isString(label) && !ns::utf8(label).empty()) return ns::utf8(label);
  id props = msgSend(specifier, sel("properties"));
  for (const char* attribute : {"key", "id"}) {
    id value = internal::propertyNamed(props, attribute);
    if (internal::isString(value) && !ns::utf8(value).empty()) return ns::utf8(value);
  }
  return nullptr;
}

void registerSpecifierClass() {
  static const bool done = [] {
    ClassBuilder("PSSpecifier", ns::classNamed("NSObject"))
        .classMethod("preferenceSpecifierNamed:target:set:get:detail:cell:edit:", specifierNamed)
        .classMethod("emptyGroupSpecifier", emptyGroupSpecifier)
        .classMethod("alloc", allocSpecifier)
        .classMethod("new", newSpecifier)
        .method("init", initSpecifier)
        .method("properties", properties)
        .method("setProperties:", setProperties)
        .method("propertyForKey:", propertyForKey)
        .method("setProperty:forKey:", setPropertyForKey)
        .method("removePropertyForKey:", removePropertyForKey)
        .method("name", name)
        .method("setName:", setName)
        .method("identifier", identifier)
        .method("target", target)
        .method("setTarget:", setTarget)
        .method("cellType", cellType)
        .method("setCellType:", setCellType)
        .method("detailControllerClass", detailControllerClass)
        .method("setDetailControllerClass:", setDetailControllerClass)
        .method("performGetter", performGetter)
        .method("performSetterWithValue:", performSetterWithValue)
        .method("description", describeSpecifier)
        .register_();
    return true;
  }();
  (void)done;
}

}  // namespace preferences

namespace preferences {
namespace {

// The array behind a row's values or titles: its fixed attribute, else its data source's answer.
id choiceArray(id specifier, const char* fixed, const char* dataSource) {
  id props = msgSend(specifier, sel("properties"));
  id selectorName = internal::propertyNamed(props, dataSource);
  if (internal::isString(selectorName) && !ns::utf8(selectorName).empty()) {
    std::string name = ns::utf8(selectorName);
    if (name.find(':') == std::string::npos) name += ":";
    id target = msgSend(specifier, sel("target"));
    SEL selector = sel(name.c_str());
    if (target == nil || !msgSend<BOOL>(target, sel("respondsToSelector:"), selector)) {
      ns::raise("NSInvalidArgumentException", "-[" + ns::className(target) + " " + name +
                                                  "]: unrecognized selector sent to " + "instance");
    }
    id answer = msgSend(target, selector, specifier);
    return answer != nil && ns::isKindOf(answer, "NSArray") ? answer : nil;
  }
  id array = internal::propertyNamed(props, fixed);
  return array != nil && ns::isKindOf(array, "NSArray") ? array : nil;
}

}  // namespace

std::vector<RowChoice> rowChoices(id specifier, size_t* extraTitles) {
  std::vector<id> values = ns::elements(choiceArray(specifier, "validValues", "valuesDataSource"));
  std::vector<id> titles = ns::elements(choiceArray(specifier, "validTitles", "titlesDataSource"));
  std::vector<RowChoice> choices;
  for (size_t i = 0; i < values.size(); ++i) {
    id title = i < titles.size() ? titles[i] : nil;
    choices.push_back({ns::Ref(values[i]), title != nil && internal::isString(title)
                                               ? ns::utf8(title)
                                               : ns::describe(title != nil ? title : values[i])});
  }
  if (extraTitles != nullptr) {
    *extraTitles = titles.size() > values.size() ? titles.size() - values.size() : 0;
  }
  return choices;
}

std::optional<std::string> titleOfValue(id specifier, id value) {
  if (value == nil) return std::nullopt;
  for (const RowChoice& choice : rowChoices(specifier)) {
    if (msgSend<BOOL>(choice.value.get(), sel("isEqual:"), value)) return choice.title;
  }
  return std::nullopt;
}

}  // namespace preferences
