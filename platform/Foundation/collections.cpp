// NSArray, NSMutableArray, NSDictionary, NSMutableDictionary and NSData.
#include <Foundation/ObjectState.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>

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
  static const SEL isEqual = sel("isEqual:");
  return a == b || (a != nil && msgSend<BOOL>(a, isEqual, b));
}

// --- arrays ------------------------------------------------------------------------------

// A long list's objects lie far apart in memory, and taking or giving up a reference writes
// to each: the object a few places ahead is fetched while the one at hand is done.
constexpr size_t kFetchAhead = 16;
void fetchAhead(const id* objects, size_t count, size_t at) {
  if (at + kFetchAhead < count) __builtin_prefetch(objects[at + kFetchAhead], 1);
}
void releaseAll(const std::vector<id>& objects) {
  for (size_t i = 0; i < objects.size(); ++i) {
    fetchAhead(objects.data(), objects.size(), i);
    release(objects[i]);
  }
}

struct ArrayState : ObjectState {
  std::vector<id> items;  // each retained
  ~ArrayState() override { releaseAll(items); }
};

std::vector<id>& items(id self) {
  static std::vector<id> none;
  ArrayState* state = stateOf<ArrayState>(self);
  return state != nullptr ? state->items : none;
}

id makeArray(Class cls, const id* objects, size_t count) {
  id array = newObjectWith<ArrayState>(cls);
  std::vector<id>& into = static_cast<ArrayState*>(objectState(array))->items;
  into.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    fetchAhead(objects, count, i);
    if (objects[i] != nil) into.push_back(retain(objects[i]));
  }
  return array;
}
id makeArray(Class cls, const std::vector<id>& objects) {
  return makeArray(cls, objects.data(), objects.size());
}
Class arrayClass() {
  static const Class cls = objc_getClass("NSArray");
  return cls;
}
Class mutableArrayClass() {
  static const Class cls = objc_getClass("NSMutableArray");
  return cls;
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
// The capacity is a hint, as on the device: the room is made at once, and the array grows past
// it when it must.
id classArrayWithCapacity(id self, SEL, NSUInteger capacity) {
  id array = classArray(self, nullptr);
  items(array).reserve(std::min<NSUInteger>(capacity, NSUInteger{1} << 24));
  return array;
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
// Raises as the device does for a nil among the objects.
id classArrayWithObjectsCount(id self, SEL, const id* objects, NSUInteger count) {
  for (NSUInteger i = 0; i < count; ++i) {
    if (objects[i] == nil) {
      raise("NSInvalidArgumentException",
            "*** -[__NSPlaceholderArray initWithObjects:count:]: attempt to insert nil object "
            "from objects[" +
                std::to_string(i) + "]");
    }
  }
  return autorelease(makeArray(reinterpret_cast<Class>(self), objects, count));
}
void getObjectsRange(id self, SEL, id* buffer, NSRange range) {
  std::vector<id>& all = items(self);
  if (range.location > all.size() || range.length > all.size() - range.location) {
    rangeError("getObjects:range:", range.location + range.length, all.size());
  }
  std::copy_n(all.begin() + static_cast<long>(range.location), range.length, buffer);
}
id subarrayWithRange(id self, SEL, NSRange range) {
  std::vector<id>& all = items(self);
  if (range.location > all.size() || range.length > all.size() - range.location) {
    rangeError("subarrayWithRange:", range.location + range.length, all.size());
  }
  return autorelease(makeArray(arrayClass(), all.data() + range.location, range.length));
}
// A new array of the same objects, ordered by sending `comparator` to one with the other
// (answering an NSComparisonResult); a stable sort, so equal objects keep their order.
id sortedArrayUsingSelector(id self, SEL, SEL comparator) {
  std::vector<id> sorted = items(self);
  std::stable_sort(sorted.begin(), sorted.end(), [comparator](id a, id b) {
    return msgSend<NSComparisonResult>(a, comparator, b) == NSOrderedAscending;
  });
  return autorelease(makeArray(arrayClass(), sorted.data(), sorted.size()));
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
  std::vector<id> copy = items(other);  // `other` may be `self`
  items(self).reserve(items(self).size() + copy.size());
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
  // Emptied before anything is released: a release may reach this array again.
  std::vector<id> gone;
  gone.swap(items(self));
  releaseAll(gone);
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

// One entry of a dictionary: its key and value, both retained.
struct Entry {
  id first;
  id second;
};

// A dictionary's entries in insertion order, each with the hash of its key's text (kNotText
// for a key that is not a string). One block holds the hashes, packed, then the entries, so
// that a look-up scans a few bytes of hashes and reads one entry. A dictionary made with a
// known size keeps that block in its own, right after its state: a look-up then touches one
// allocation instead of three. Past that room, or for a dictionary made empty, the block is
// on the heap.
class EntryList {
 public:
  static constexpr uint32_t kNotText = 0;

  // The bytes of a block for `capacity` entries.
  static size_t bytesFor(size_t capacity) { return hashBytes(capacity) + capacity * sizeof(Entry); }

  EntryList() = default;
  EntryList(void* room, size_t capacity) : block_(room) {
    if (capacity >= kOnHeap) throw std::bad_alloc();
    capacity_ = static_cast<uint32_t>(capacity);
  }
  EntryList(const EntryList&) = delete;
  EntryList& operator=(const EntryList&) = delete;
  ~EntryList() {
    if (onHeap()) ::operator delete(block_);
  }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  Entry& operator[](size_t at) { return entries()[at]; }
  const Entry& operator[](size_t at) const { return entries()[at]; }
  uint32_t hash(size_t at) const { return hashes()[at]; }
  Entry* begin() { return entries(); }
  Entry* end() { return entries() + size_; }
  const Entry* begin() const { return entries(); }
  const Entry* end() const { return entries() + size_; }

  void reserve(size_t capacity) {
    if (capacity > this->capacity()) moveTo(capacity);
  }
  void push_back(const Entry& entry, uint32_t hash) {
    if (size_ == capacity()) moveTo(std::max<size_t>(4, 2 * capacity()));
    hashes()[size_] = hash;
    entries()[size_] = entry;
    ++size_;
  }
  void erase(size_t at) {
    size_t after = size_ - at - 1;
    std::memmove(hashes() + at, hashes() + at + 1, after * sizeof(uint32_t));
    std::memmove(entries() + at, entries() + at + 1, after * sizeof(Entry));
    --size_;
  }

 private:
  static_assert(std::is_trivially_copyable_v<Entry> && alignof(Entry) <= 8);
  // Set in capacity_ once the block is on the heap.
  static constexpr uint32_t kOnHeap = uint32_t{1} << 31;

  static size_t hashBytes(size_t capacity) {
    return (capacity * sizeof(uint32_t) + 7) & ~size_t{7};
  }
  size_t capacity() const { return capacity_ & ~kOnHeap; }
  bool onHeap() const { return (capacity_ & kOnHeap) != 0; }
  uint32_t* hashes() const { return static_cast<uint32_t*>(block_); }
  Entry* entries() const {
    return reinterpret_cast<Entry*>(static_cast<char*>(block_) + hashBytes(capacity()));
  }
  void moveTo(size_t capacity) {
    if (capacity >= kOnHeap) throw std::bad_alloc();
    void* fresh = ::operator new(bytesFor(capacity));
    if (size_ > 0) {
      std::memcpy(fresh, hashes(), size_ * sizeof(uint32_t));
      std::memcpy(static_cast<char*>(fresh) + hashBytes(capacity), entries(),
                  size_ * sizeof(Entry));
    }
    if (onHeap()) ::operator delete(block_);
    block_ = fresh;
    capacity_ = static_cast<uint32_t>(capacity) | kOnHeap;
  }

  void* block_ = nullptr;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;
};

// String keys are found by their text: a few entries are looked through in order, comparing
// hashes first; past kIndexedFrom entries an open-addressing index of positions, kept at most
// half full, finds them directly.
struct DictionaryState : ObjectState {
  static constexpr size_t kIndexedFrom = 9;
  static constexpr uint32_t kNotText = EntryList::kNotText;

  EntryList entries;
  std::vector<uint32_t> index;  // position + 1 of an entry, 0 for a free slot

  DictionaryState() = default;
  DictionaryState(void* room, size_t capacity) : entries(room, capacity) {}
  ~DictionaryState() override {
    for (const Entry& entry : entries) {
      release(entry.first);
      release(entry.second);
    }
  }

  // The position of the string key with this text and hash; entries.size() when none. `key`,
  // when given, is the string object itself: an entry holding that very object matches without
  // its text being read.
  size_t findText(std::string_view text, size_t textHash, id key = nil) const {
    uint32_t hash = kept(textHash);
    if (index.empty()) {
      for (size_t i = 0; i < entries.size(); ++i) {
        if (entries.hash(i) == hash && matches(i, text, key)) return i;
      }
      return entries.size();
    }
    size_t mask = index.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      uint32_t at = index[slot];
      if (at == 0) return entries.size();
      if (entries.hash(at - 1) == hash && matches(at - 1, text, key)) return at - 1;
    }
  }
  size_t find(id key) const {
    size_t hash = 0;
    if (const std::string* text = internal::keyText(key, hash)) return findText(*text, hash, key);
    for (size_t i = 0; i < entries.size(); ++i) {
      if (equal(entries[i].first, key)) return i;
    }
    return entries.size();
  }
  void add(id key, id value) {
    size_t textHash = 0;
    bool isText = internal::keyText(key, textHash) != nullptr;
    entries.push_back({key, value}, isText ? kept(textHash) : kNotText);
    if (entries.size() >= kIndexedFrom) {
      if (index.size() < 2 * entries.size()) {
        reindex();
      } else {
        place(entries.size() - 1);
      }
    }
  }
  void erase(size_t at) {
    Entry gone = entries[at];
    entries.erase(at);
    index.clear();
    if (entries.size() >= kIndexedFrom) reindex();
    release(gone.first);
    release(gone.second);
  }

 private:
  // The hash kept for a string key: the text's hash in 32 bits, never kNotText.
  static uint32_t kept(size_t textHash) {
    auto hash = static_cast<uint32_t>(textHash);
    return hash == kNotText ? 1 : hash;
  }
  bool matches(size_t at, std::string_view text, id key) const {
    if (key != nil && entries[at].first == key) return true;
    const std::string* own = stringText(entries[at].first);
    return own != nullptr && *own == text;
  }
  void place(size_t at) {
    if (entries.hash(at) == kNotText) return;
    size_t mask = index.size() - 1;
    size_t slot = entries.hash(at) & mask;
    while (index[slot] != 0) slot = (slot + 1) & mask;
    index[slot] = static_cast<uint32_t>(at + 1);
  }
  void reindex() {
    size_t size = 16;
    while (size < 4 * entries.size()) size *= 2;
    index.assign(size, 0);
    for (size_t i = 0; i < entries.size(); ++i) place(i);
  }
};

// A new dictionary of class `cls` (retain count 1) with room for `capacity` entries in its own
// block.
id newDictionary(Class cls, size_t capacity) {
  void* room = nullptr;
  id dictionary =
      detail::allocateWithRoom(cls, sizeof(DictionaryState) + EntryList::bytesFor(capacity), &room);
  void* entryRoom = static_cast<char*>(room) + sizeof(DictionaryState);
  detail::adoptInlineState(dictionary, ::new (room) DictionaryState(entryRoom, capacity));
  return dictionary;
}

DictionaryState* dictionaryState(id self) {
  return stateOf<DictionaryState>(self);
}

EntryList& entries(id self) {
  static EntryList none;
  DictionaryState* state = dictionaryState(self);
  return state != nullptr ? state->entries : none;
}
Class dictionaryClass() {
  static const Class cls = objc_getClass("NSDictionary");
  return cls;
}
Class mutableDictionaryClass() {
  static const Class cls = objc_getClass("NSMutableDictionary");
  return cls;
}

id makeDictionary(Class cls, const EntryList& from) {
  id dictionary = newDictionary(cls, from.size());
  auto* state = static_cast<DictionaryState*>(objectState(dictionary));
  for (const Entry& entry : from) state->add(retain(entry.first), retain(entry.second));
  return dictionary;
}
id makeDictionary(Class cls) {
  return newDictionary(cls, 0);
}

id classDictionary(id self, SEL) {
  return autorelease(makeDictionary(reinterpret_cast<Class>(self)));
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
  for (const Entry& entry : entries(self)) {
    text += "\n    " + describe(entry.first) + " = " + describe(entry.second) + ";";
  }
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
  return autorelease(makeDictionary(mutableDictionaryClass()));
}
void setValue(id dict, std::string_view key, id value) {
  setObjectForKey(dict, nullptr, value, string(key));
}
id valueFor(id dict, std::string_view key) {
  // Found by its text, without making a key object.
  DictionaryState* state = dictionaryState(dict);
  if (state == nullptr) return nil;
  size_t at = state->findText(key, internal::textHash(key));
  return at < state->entries.size() ? state->entries[at].second : nil;
}
std::vector<std::pair<id, id>> dictionaryEntries(id dict) {
  std::vector<std::pair<id, id>> all;
  for (const Entry& entry : entries(dict)) all.emplace_back(entry.first, entry.second);
  return all;
}
id data(const void* bytes, size_t length) {
  return autorelease(makeData(objc_getClass("NSData"), bytes, length));
}
std::vector<uint8_t> bytes(id dataObject) {
  return dataBytes(dataObject);
}

id internal::newMutableDictionary(size_t capacity) {
  return newDictionary(mutableDictionaryClass(), capacity);
}

void internal::registerCollectionClasses() {
  Class array = ClassBuilder("NSArray", rootClass())
                    .classMethod("array", classArray)
                    .classMethod("arrayWithArray:", classArrayWithArray)
                    .classMethod("arrayWithObject:", classArrayWithObject)
                    .classMethod("arrayWithObjects:count:", classArrayWithObjectsCount)
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
                    .method("getObjects:range:", getObjectsRange)
                    .method("sortedArrayUsingSelector:", sortedArrayUsingSelector)
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
