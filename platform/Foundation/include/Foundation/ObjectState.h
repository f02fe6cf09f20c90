// For stand-ins only: the C++ state behind a platform object.
//
// Every object of the platform's classes carries, beside its class and retain count, one
// pointer to a C++ state object that the object owns and deletes when it is deallocated.
// A stand-in class keeps its data there (the characters of an NSString, the elements of an
// NSArray, ...). Subclasses defined by hosts or products inherit the slot; they keep their own
// data in runtime instance variables, as on the device.
#pragma once

#include <Foundation/Foundation.h>

#include <memory>

namespace ns {

struct ObjectState {
  virtual ~ObjectState() = default;
};

ObjectState* objectState(id object);
void setObjectState(id object, std::unique_ptr<ObjectState> state);

template <typename T>
T* stateOf(id object) {
  return object == nil ? nullptr : dynamic_cast<T*>(objectState(object));
}

// Allocates an instance of `cls` (retain count 1) holding `state`.
id newObject(Class cls, std::unique_ptr<ObjectState> state);

// Marks an object as never freed (constants, shared instances).
id makeImmortal(id object);

// Registers the root class NSObject (idempotent; done when this library loads).
Class rootClass();

}  // namespace ns
