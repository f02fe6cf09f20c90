// Shared between the UIKit stand-in's files: building its classes in the runtime.
#pragma once

#include <objc/msg_send.h>

namespace uikit::internal {

// The class named, registered with `superclass` when the runtime has none yet (a host may have
// built it before this library loaded).
inline Class defineIfMissing(const char* name, Class superclass) {
  Class existing = objc_getClass(name);
  if (existing != Nil) return existing;
  return ClassBuilder(name, superclass).register_();
}

// Adds an instance method to a class that may already be registered.
inline void addMethod(Class cls, const char* selector, auto implementation) {
  class_addMethod(cls, sel(selector), reinterpret_cast<IMP>(implementation),
                  typeEncodingOf(implementation).c_str());
}

}  // namespace uikit::internal
