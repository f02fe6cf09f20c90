// For stand-ins only: the C++ state behind a platform object.
//
// Every object of the platform's classes carries, beside its class and retain count, one
// pointer to a C++ state object that the object owns and deletes when it is deallocated.
// A stand-in class keeps its data there (the characters of an NSString, the elements of an
// NSArray, ...). Subclasses defined by hosts or products inherit the slot; they keep their own
// data in runtime instance variables, as on the device.
#pragma once

#include <Foundation/Foundation.h>

#include <atomic>
#include <memory>
#include <new>
#include <typeinfo>
#include <utility>

namespace ns {

struct ObjectState {
  virtual ~ObjectState() = default;
};

ObjectState* objectState(id object);
void setObjectState(id object, std::unique_ptr<ObjectState> state);

// The object's state as a T, or null when it has none of that kind. The last dynamic type
// that turned out to be a T is remembered, so the common case costs one comparison.
template <typename T>
T* stateOf(id object) {
  ObjectState* state = objectState(object);
  if (state == nullptr) return nullptr;
  static std::atomic<const std::type_info*> lastMatch{nullptr};
  const std::type_info& type = typeid(*state);
  if (&type == lastMatch.load(std::memory_order_relaxed)) return static_cast<T*>(state);
  T* match = dynamic_cast<T*>(state);
  if (match != nullptr) lastMatch.store(&type, std::memory_order_relaxed);
  return match;
}

// Allocates an instance of `cls` (retain count 1) holding `state`.
id newObject(Class cls, std::unique_ptr<ObjectState> state);

namespace detail {
// An instance of `cls` (retain count 1) with `size` bytes of room after its instance variables,
// 16-byte aligned; the state made there is handed to adoptInlineState.
id allocateWithRoom(Class cls, size_t size, void** room);
void adoptInlineState(id object, ObjectState* state);
}  // namespace detail

// Allocates an instance of `cls` (retain count 1) holding a T made from `args`, in the same
// block as the object: one allocation instead of two, and the state beside the object it
// belongs to. setObjectState may still replace it later.
template <typename T, typename... Args>
id newObjectWith(Class cls, Args&&... args) {
  static_assert(alignof(T) <= 16);
  void* room = nullptr;
  id object = detail::allocateWithRoom(cls, sizeof(T), &room);
  detail::adoptInlineState(object, ::new (room) T(std::forward<Args>(args)...));
  return object;
}

// The text of an NSString (or subclass) without a message; null for anything else.
const std::string* stringText(id object);

// Marks an object as never freed (constants, shared instances).
id makeImmortal(id object);

// Registers the root class NSObject (idempotent; done when this library loads).
Class rootClass();

}  // namespace ns
