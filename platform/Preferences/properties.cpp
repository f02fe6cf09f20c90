#include "properties.h"

#include <Foundation/ObjectState.h>

#include <set>
#include <string>
#include <unordered_map>

namespace preferences::internal {
namespace {

struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

// The dictionary's string keys and their values (not retained: the dictionary holds them).
struct KeyTable {
  bool current = false;
  std::unordered_map<std::string, id, TextHash, std::equal_to<>> values;
};

Class propertiesClass = Nil;
Class stringClass = Nil;
ptrdiff_t tableOffset = 0;
bool tableUsable = false;

KeyTable*& tableSlot(id self) {
  return *reinterpret_cast<KeyTable**>(reinterpret_cast<char*>(self) + tableOffset);
}

std::string_view textOf(id string) {
  static SEL utf8 = sel("UTF8String");
  const char* text = msgSend<const char*>(string, utf8);
  return text != nullptr ? std::string_view(text) : std::string_view();
}

KeyTable& currentTable(id self) {
  KeyTable*& table = tableSlot(self);
  if (table == nullptr) table = new KeyTable;
  if (!table->current) {
    table->values.clear();
    for (auto& [key, value] : ns::dictionaryEntries(self)) {
      if (isString(key)) table->values.emplace(std::string(textOf(key)), value);
    }
    table->current = true;
  }
  return *table;
}

void dropTable(id self) {
  if (KeyTable* table = tableSlot(self)) table->current = false;
}

bool isProperties(id object) {
  return tableUsable && object != nil && object_getClass(object) == propertiesClass;
}

id objectForKey(id self, SEL cmd, id key) {
  if (!tableUsable || !isString(key))
    return sendSuper(self, propertiesClass, sel_getName(cmd), key);
  KeyTable& table = currentTable(self);
  auto found = table.values.find(textOf(key));
  return found != table.values.end() ? found->second : nil;
}

void setObjectForKey(id self, SEL, id value, id key) {
  sendSuper<void>(self, propertiesClass, "setObject:forKey:", value, key);
  dropTable(self);
}

void removeObjectForKey(id self, SEL, id key) {
  sendSuper<void>(self, propertiesClass, "removeObjectForKey:", key);
  dropTable(self);
}

id initProperties(id self, SEL) {
  id initialised = sendSuper(self, propertiesClass, "init");
  if (initialised != nil) dropTable(initialised);
  return initialised;
}

void deallocProperties(id self, SEL) {
  delete tableSlot(self);
  tableSlot(self) = nullptr;
  sendSuper<void>(self, propertiesClass, "dealloc");
}

// The mutators of Foundation's NSMutableDictionary that this class keeps its table in step with.
bool knowsEveryMutator() {
  const std::set<std::string> known = {"setObject:forKey:", "removeObjectForKey:"};
  unsigned int count = 0;
  Method* methods = class_copyMethodList(objc_getClass("NSMutableDictionary"), &count);
  bool all = true;
  for (unsigned int i = 0; i < count; ++i) {
    if (known.count(sel_getName(method_getName(methods[i]))) == 0) all = false;
  }
  free(methods);
  return all;
}

void registerPropertiesClass() {
  static const bool done = [] {
    stringClass = ns::classNamed("NSString");
    ClassBuilder builder("PSSpecifierProperties", objc_getClass("NSMutableDictionary"));
    builder.ivar("_keyTable", sizeof(void*), 3, "^v")
        .method("init", initProperties)
        .method("objectForKey:", objectForKey)
        .method("objectForKeyedSubscript:", objectForKey)
        .method("setObject:forKey:", setObjectForKey)
        .method("removeObjectForKey:", removeObjectForKey)
        .method("dealloc", deallocProperties);
    propertiesClass = builder.register_();
    tableOffset = ivar_getOffset(class_getInstanceVariable(propertiesClass, "_keyTable"));
    tableUsable = knowsEveryMutator();
    return true;
  }();
  (void)done;
}

}  // namespace

bool isString(id object) {
  if (object == nil) return false;
  if (stringClass == Nil) stringClass = ns::classNamed("NSString");
  for (Class c = object_getClass(object); c != Nil; c = class_getSuperclass(c)) {
    if (c == stringClass) return true;
  }
  return false;
}

id newProperties(id from) {
  registerPropertiesClass();
  if (from != nil && msgSend<BOOL>(from, sel("isKindOfClass:"), objc_getClass("NSDictionary"))) {
    return ns::retain(msgSend(propertiesClass, sel("dictionaryWithDictionary:"), from));
  }
  return msgSend(propertiesClass, sel("new"));
}

id propertyNamed(id dictionary, std::string_view key) {
  if (!isProperties(dictionary)) return ns::valueFor(dictionary, key);
  KeyTable& table = currentTable(dictionary);
  auto found = table.values.find(key);
  return found != table.values.end() ? found->second : nil;
}

}  // namespace preferences::internal
