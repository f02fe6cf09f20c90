// NSArray and NSMutableArray.
#include <Foundation/ObjectState.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "internal.h"

namespace ns {
namespace {

using internal::equal;

// The platform raises NSRangeException for an index outside an array, which ends the process
// unless caught; the stand-in ends it with the same message.
[[noreturn]] void rangeError(const char* method, NSUInteger index, size_t count) {
  std::fprintf(stderr, "*** -[NSArray %s]: index %lu beyond bounds [0 .. %zu]\n", method,
               static_cast<unsigned long>(index), count == 0 ? 0 : count - 1);
  std::abort();
}

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

void internal::registerArrayClasses() {
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
}

}  // namespace ns
