// NSArray, NSMutableArray, NSDictionary, NSMutableDictionary and NSData.
#include <Foundation/ObjectState.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "internal.h"

namespace ns {
namespace {

// The platform raises NSRangeException for an index outside an array, which ends the process
// unless caught; the stand-in ends it with the same message.
[[noreturn]] void rangeError(const char* method, NSUInteger index, size_t count) {
  std::fprintf(stderr, "*** -[NSArray %s]: index %lu beyond bounds [0 .. %zu]\n", method,
               static_cast<unsigned long>(index), count == 0 ? 0 : count - 1);
  std::abort();
}

bool equal(id a, id b) {
  return a == b || (a != nil && msgSend<BOOL>(a, sel("isEqual:"), b));
}

// --- arrays ------------------------------------------------------------------------------

struct ArrayState : ObjectState {
  std::vector<id> items;  // each retained
  ~ArrayState() override {
    for (id item : items) release(item);
  }
};

std::vector<id>& items(id self) {
  static std::vector<id> none;
  ArrayState* state = stateOf<ArrayState>(self);
  return state != nullptr ? state->items : none;
}

id makeArray(Class cls, const std::vector<id>& objects) {
  auto state = std::make_unique<ArrayState>();
  for (id object : objects) {
    if (object != nil) state->items.push_back(retain(object));
  }
  return newObject(cls, std::move(state));
}
Class arrayClass() {
  return objc_getClass("NSArray");
}
Class mutableArrayClass() {
  return objc_getClass("NSMutableArray");
}

id classArray(id self, SEL) {
  return autorelease(makeArray(reinterpret_cast<Class>(self), {}));
}
id classArrayWithArray(id self, SEL, id other) {
  return autorelease(makeArray(reinterpret_cast<Class>(self), items(other)));
}
id classArrayWithObject(id self, SEL, id object) {
  return autorelease(makeArray(reinterpret_cast<Class>(self), {object}));
}
id classArrayWithCapacity(id self, SEL, NSUInteger) {
  return classArray(self, nullptr);
}
id initArray(id self, SEL) {
  setObjectState(self, std::make_unique<ArrayState>());
  return self;
}

NSUInteger count(id self, SEL) {
  return items(self).size();
}
id objectAtIndex(id self, SEL, NSUInteger index) {
  std::vector<id>& all = items(self);
  if (index >= all.size()) rangeError("objectAtIndex:", index, all.size());
  return all[index];
}
id firstObject(id self, SEL) {
  return items(self).empty() ? nil : items(self).front();
}
id lastObject(id self, SEL) {
  return items(self).empty() ? nil : items(self).back();
}
NSUInteger indexOfObject(id self, SEL, id object) {
  std::vector<id>& all = items(self);
  for (size_t i = 0; i < all.size(); ++i) {
    if (equal(all[i], object)) return i;
  }
  return NSNotFound;
}
NSUInteger indexOfObjectIdenticalTo(id self, SEL, id object) {
  std::vector<id>& all = items(self);
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i] == object) return i;
  }
  return NSNotFound;
}
BOOL containsObject(id self, SEL, id object) {
  return indexOfObject(self, nullptr, object) != NSNotFound ? YES : NO;
}
id copyArray(id self, SEL) {
  if (object_getClass(self) == arrayClass()) return retain(self);
  return makeArray(arrayClass(), items(self));
}
id mutableCopyArray(id self, SEL) {
  return makeArray(mutableArrayClass(), items(self));
}
id subarrayWithRange(id self, SEL, NSRange range) {
  std::vector<id>& all = items(self);
  if (range.location > all.size() || range.length > all.size() - range.location) {
    rangeError("subarrayWithRange:", range.location + range.length, all.size());
  }
  std::vector<id> part(all.begin() + range.location, all.begin() + range.location + range.length);
  return autorelease(makeArray(arrayClass(), part));
}
id describeArray(id self, SEL) {
  std::string text = "(";
  for (size_t i = 0; i < items(self).size(); ++i) {
    text += (i == 0 ? "\n    " : ",\n    ") + describe(items(self)[i]);
  }
  return string(text + (items(self).empty() ? ")" : "\n)"));
}

void addObject(id self, SEL, id object) {
  if (object != nil) items(self).push_back(retain(object));
}
void addObjectsFromArray(id self, SEL, id other) {
  std::vector<id> copy = items(other);
  for (id object : copy) addObject(self, nullptr, object);
}
void insertObjectAtIndex(id self, SEL, id object, NSUInteger index) {
  std::vector<id>& all = items(self);
  if (index > all.size()) rangeError("insertObject:atIndex:", index, all.size());
  if (object != nil) all.insert(all.begin() + index, retain(object));
}
void removeObjectAtIndex(id self, SEL, NSUInteger index) {
  std::vector<id>& all = items(self);
  if (index >= all.size()) rangeError("removeObjectAtIndex:", index, all.size());
  id removed = all[index];
  all.erase(all.begin() + index);
  release(removed);
}
void removeLastObject(id self, SEL) {
  if (!items(self).empty()) removeObjectAtIndex(self, nullptr, items(self).size() - 1);
}
template <typename Match>
void removeWhere(id self, Match match) {
  std::vector<id>& all = items(self);
  std::vector<id> removed;
  std::vector<id> kept;
  for (id item : all) (match(item) ? removed : kept).push_back(item);
  all.swap(kept);
  for (id item : removed) release(item);
}
void removeObject(id self, SEL, id object) {
  removeWhere(self, [&](id item) { return equal(item, object); });
}
void removeObjectIdenticalTo(id self, SEL, id object) {
  removeWhere(self, [&](id item) { return item == object; });
}
void removeObjectsInArray(id self, SEL, id other) {
  std::vector<id> doomed = items(other);
  removeWhere(self, [&](id item) {
    for (id d : doomed) {
      if (equal(item, d)) return true;
    }
    return false;
  });
}
void removeAllObjects(id self, SEL) {
  removeWhere(self, [](id) { return true; });
}
void replaceObjectAtIndex(id self, SEL, NSUInteger index, id object) {
  std::vector<id>& all = items(self);
  if (index >= all.size()) rangeError("replaceObjectAtIndex:withObject:", index, all.size());
  if (object == nil) return;
  id old = all[index];
  all[index] = retain(object);
  release(old);
}

// --- dictionaries ------------------------------------------------------------------------

struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

// Entries in insertion order; string keys are also found through an index by their text.
struct DictionaryState : ObjectState {
  std::vector<std::pair<id, id>> entries;  // keys and values retained
  std::unordered_map<std::string, size_t, TextHash, std::equal_to<>> byText;

  ~DictionaryState() override {
    for (auto& [key, value] : entries) {
      release(key);
      release(value);
    }
  }
  size_t find(id key) const {
    if (const std::string* text = stringText(key)) {
      auto found = byText.find(*text);
      return found != byText.end() ? found->second : entries.size();
    }
    for (size_t i = 0; i < entries.size(); ++i) {
      if (equal(entries[i].first, key)) return i;
    }
    return entries.size();
  }
  void add(id key, id value) {
    if (const std::string* text = stringText(key)) byText.emplace(*text, entries.size());
    entries.emplace_back(key, value);
  }
  void erase(size_t at) {
    auto [key, value] = entries[at];
    entries.erase(entries.begin() + static_cast<long>(at));
    byText.clear();
    for (size_t i = 0; i < entries.size(); ++i) {
      if (const std::string* text = stringText(entries[i].first)) byText.emplace(*text, i);
    }
    release(key);
    release(value);
  }
};

DictionaryState* dictionaryState(id self) {
  return stateOf<DictionaryState>(self);
}

std::vector<std::pair<id, id>>& entries(id self) {
  static std::vector<std::pair<id, id>> none;
  DictionaryState* state = dictionaryState(self);
  return state != nullptr ? state->entries : none;
}
Class dictionaryClass() {
  return objc_getClass("NSDictionary");
}
Class mutableDictionaryClass() {
  return objc_getClass("NSMutableDictionary");
}

id makeDictionary(Class cls, const std::vector<std::pair<id, id>>& from) {
  auto state = std::make_unique<DictionaryState>();
  for (auto& [key, value] : from) state->add(retain(key), retain(value));
  return newObject(cls, std::move(state));
}

id classDictionary(id self, SEL) {
  return autorelease(makeDictionary(reinterpret_cast<Class>(self), {}));
}
id classDictionaryWithDictionary(id self, SEL, id other) {
  return autorelease(makeDictionary(reinterpret_cast<Class>(self), entries(other)));
}
id initDictionary(id self, SEL) {
  setObjectState(self, std::make_unique<DictionaryState>());
  return self;
}
NSUInteger dictionaryCount(id self, SEL) {
  return entries(self).size();
}
id objectForKey(id self, SEL, id key) {
  DictionaryState* state = dictionaryState(self);
  if (state == nullptr || key == nil) return nil;
  size_t at = state->find(key);
  return at < state->entries.size() ? state->entries[at].second : nil;
}
id allKeys(id self, SEL) {
  std::vector<id> keys;
  for (auto& entry : entries(self)) keys.push_back(entry.first);
  return autorelease(makeArray(arrayClass(), keys));
}
id allValues(id self, SEL) {
  std::vector<id> values;
  for (auto& entry : entries(self)) values.push_back(entry.second);
  return autorelease(makeArray(arrayClass(), values));
}
id copyDictionary(id self, SEL) {
  if (object_getClass(self) == dictionaryClass()) return retain(self);
  return makeDictionary(dictionaryClass(), entries(self));
}
id mutableCopyDictionary(id self, SEL) {
  return makeDictionary(mutableDictionaryClass(), entries(self));
}
void removeObjectForKey(id self, SEL, id key) {
  DictionaryState* state = dictionaryState(self);
  if (state == nullptr || key == nil) return;
  size_t at = state->find(key);
  if (at < state->entries.size()) state->erase(at);
}
void setObjectForKey(id self, SEL, id value, id key) {
  DictionaryState* state = dictionaryState(self);
  if (state == nullptr || key == nil) return;
  if (value == nil) {
    removeObjectForKey(self, nullptr, key);
    return;
  }
  size_t at = state->find(key);
  if (at < state->entries.size()) {
    id old = state->entries[at].second;
    state->entries[at].second = retain(value);
    release(old);
    return;
  }
  static const SEL copy = sel("copy");
  state->add(msgSend(key, copy), retain(value));
}
id describeDictionary(id self, SEL) {
  std::string text = "{";
  for (auto& [k, v] : entries(self)) text += "\n    " + describe(k) + " = " + describe(v) + ";";
  return string(text + (entries(self).empty() ? "}" : "\n}"));
}

// --- data --------------------------------------------------------------------------------

struct DataState : ObjectState {
  std::vector<uint8_t> bytes;
};
std::vector<uint8_t>& dataBytes(id self) {
  static std::vector<uint8_t> none;
  DataState* state = stateOf<DataState>(self);
  return state != nullptr ? state->bytes : none;
}
id makeData(Class cls, const void* bytes, size_t length) {
  auto state = std::make_unique<DataState>();
  if (bytes != nullptr && length > 0) {
    const auto* first = static_cast<const uint8_t*>(bytes);
    state->bytes.assign(first, first + length);
  }
  return newObject(cls, std::move(state));
}
id classDataWithBytes(id self, SEL, const void* bytes, NSUInteger length) {
  return autorelease(makeData(reinterpret_cast<Class>(self), bytes, length));
}
id classData(id self, SEL) {
  return classDataWithBytes(self, nullptr, nullptr, 0);
}
const void* dataPointer(id self, SEL) {
  return dataBytes(self).data();
}
NSUInteger dataLength(id self, SEL) {
  return dataBytes(self).size();
}
BOOL dataIsEqual(id self, SEL, id other) {
  return other != nil && stateOf<DataState>(other) != nullptr && dataBytes(self) == dataBytes(other)
             ? YES
             : NO;
}
id copyData(id self, SEL) {
  return retain(self);
}
id describeData(id self, SEL) {
  return string("{length = " + std::to_string(dataBytes(self).size()) + "}");
}

}  // namespace

id array(const std::vector<id>& objects) {
  return autorelease(makeArray(arrayClass(), objects));
}
id mutableArray(const std::vector<id>& objects) {
  return autorelease(makeArray(mutableArrayClass(), objects));
}
std::vector<id> elements(id arrayObject) {
  return items(arrayObject);
}
id dictionary() {
  return autorelease(makeDictionary(mutableDictionaryClass(), {}));
}
void setValue(id dict, std::string_view key, id value) {
  setObjectForKey(dict, nullptr, value, string(key));
}
id valueFor(id dict, std::string_view key) {
  // Found by its text, without making a key object.
  DictionaryState* state = dictionaryState(dict);
  if (state == nullptr) return nil;
  auto found = state->byText.find(key);
  return found != state->byText.end() ? state->entries[found->second].second : nil;
}
std::vector<std::pair<id, id>> dictionaryEntries(id dict) {
  return entries(dict);
}
id data(const void* bytes, size_t length) {
  return autorelease(makeData(objc_getClass("NSData"), bytes, length));
}
std::vector<uint8_t> bytes(id dataObject) {
  return dataBytes(dataObject);
}

void internal::registerCollectionClasses() {
  Class array = ClassBuilder("NSArray", rootClass())
                    .classMethod("array", classArray)
                    .classMethod("arrayWithArray:", classArrayWithArray)
                    .classMethod("arrayWithObject:", classArrayWithObject)
                    .method("init", initArray)
                    .method("count", count)
                    .method("objectAtIndex:", objectAtIndex)
                    .method("objectAtIndexedSubscript:", objectAtIndex)
                    .method("firstObject", firstObject)
                    .method("lastObject", lastObject)
                    .method("indexOfObject:", indexOfObject)
                    .method("indexOfObjectIdenticalTo:", indexOfObjectIdenticalTo)
                    .method("containsObject:", containsObject)
                    .method("copy", copyArray)
                    .method("mutableCopy", mutableCopyArray)
                    .method("subarrayWithRange:", subarrayWithRange)
                    .method("description", describeArray)
                    .register_();
  ClassBuilder("NSMutableArray", array)
      .classMethod("arrayWithCapacity:", classArrayWithCapacity)
      .method("addObject:", addObject)
      .method("addObjectsFromArray:", addObjectsFromArray)
      .method("insertObject:atIndex:", insertObjectAtIndex)
      .method("removeObjectAtIndex:", removeObjectAtIndex)
      .method("removeLastObject", removeLastObject)
      .method("removeObject:", removeObject)
      .method("removeObjectIdenticalTo:", removeObjectIdenticalTo)
      .method("removeObjectsInArray:", removeObjectsInArray)
      .method("removeAllObjects", removeAllObjects)
      .method("replaceObjectAtIndex:withObject:", replaceObjectAtIndex)
      .register_();

  Class dictionary = ClassBuilder("NSDictionary", rootClass())
                         .classMethod("dictionary", classDictionary)
                         .classMethod("dictionaryWithDictionary:", classDictionaryWithDictionary)
                         .method("init", initDictionary)
                         .method("count", dictionaryCount)
                         .method("objectForKey:", objectForKey)
                         .method("objectForKeyedSubscript:", objectForKey)
                         .method("allKeys", allKeys)
                         .method("allValues", allValues)
                         .method("copy", copyDictionary)
                         .method("mutableCopy", mutableCopyDictionary)
                         .method("description", describeDictionary)
                         .register_();
  ClassBuilder("NSMutableDictionary", dictionary)
      .method("setObject:forKey:", setObjectForKey)
      .method("removeObjectForKey:", removeObjectForKey)
      .register_();

  ClassBuilder("NSData", rootClass())
      .classMethod("data", classData)
      .classMethod("dataWithBytes:length:", classDataWithBytes)
      .method("bytes", dataPointer)
      .method("length", dataLength)
      .method("isEqual:", dataIsEqual)
      .method("copy", copyData)
      .method("description", describeData)
      .register_();
}

}  // namespace ns
