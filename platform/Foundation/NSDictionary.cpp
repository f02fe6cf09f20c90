// NSDictionary and NSMutableDictionary.
#include <Foundation/ObjectState.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>

#include "internal.h"

namespace ns {
namespace {

using internal::equal;

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
  return array(keys);
}
id allValues(id self, SEL) {
  std::vector<id> values;
  for (auto& entry : entries(self)) values.push_back(entry.second);
  return array(values);
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

}  // namespace

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

id internal::newMutableDictionary(size_t capacity) {
  return newDictionary(mutableDictionaryClass(), capacity);
}

void internal::registerDictionaryClasses() {
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
}

}  // namespace ns
