// Message sending and class definition over the platform's object runtime.
//
// Mirrors: objc_msgSend / objc_msgSendSuper cast to the method's own type, as device code calls
// them, and the runtime's class-building calls. Here the runtime is GCC's libobjc: a send looks
// the implementation up with objc_msg_lookup and calls it with the receiver, the selector and
// the arguments. Product code sends every message through this header, so it never spells the
// difference between the two runtimes.
//
// Faithful: dispatch, inheritance, replaced implementations, nil receivers answering zero (of
// any return type). Simplified: selectors are untyped, so the caller states the method's type
// through the template arguments, exactly as device code casts objc_msgSend.
#pragma once

#include <objc/message.h>
#include <objc/runtime.h>

#include <cstdint>
#include <string>
#include <type_traits>

#ifndef YES
#define YES ((BOOL)1)
#define NO ((BOOL)0)
#endif

inline SEL sel(const char* name) {
  return sel_registerName(name);
}
inline id cls(const char* name) {
  return reinterpret_cast<id>(objc_getClass(name));
}
inline id asId(Class c) {
  return reinterpret_cast<id>(c);
}

// Sends `op` to `receiver`; a nil receiver answers a zero value of R.
template <typename R = id, typename... Args>
inline R msgSend(id receiver, SEL op, Args... args) {
  if (receiver == nil) {
    if constexpr (std::is_void_v<R>) {
      return;
    } else {
      return R{};
    }
  }
  IMP imp = objc_msg_lookup(receiver, op);
  // An IMP is called through the type of the method it is: the cast is the point, so it does not
  // warn in the code of pane authors who build with -Wextra.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcast-function-type"
  return reinterpret_cast<R (*)(id, SEL, Args...)>(imp)(receiver, op, args...);
#pragma GCC diagnostic pop
}

template <typename R = id, typename... Args>
inline R msgSend(Class receiver, SEL op, Args... args) {
  return msgSend<R>(asId(receiver), op, args...);
}

// The short form used throughout: send<BOOL>(value, "boolValue").
template <typename R = id, typename... Args>
inline R send(id receiver, const char* selector, Args... args) {
  return msgSend<R>(receiver, sel(selector), args...);
}
template <typename R = id, typename... Args>
inline R send(Class receiver, const char* selector, Args... args) {
  return msgSend<R>(asId(receiver), sel(selector), args...);
}

// A method with a variable argument list (stringWithFormat: and the like) must be called as one.
template <typename R = id, typename First, typename... Rest>
inline R sendVariadic(id receiver, const char* selector, First first, Rest... rest) {
  if (receiver == nil) return R{};
  SEL op = sel(selector);
  IMP imp = objc_msg_lookup(receiver, op);
  return reinterpret_cast<R (*)(id, SEL, First, ...)>(imp)(receiver, op, first, rest...);
}

// [super selector...] from a method defined on `definingClass`.
template <typename R = id, typename... Args>
inline R sendSuper(id self, Class definingClass, const char* selector, Args... args) {
  SEL op = sel(selector);
  objc_super super{self, class_getSuperclass(definingClass)};
  IMP imp = objc_msg_lookup_super(&super, op);
  return reinterpret_cast<R (*)(id, SEL, Args...)>(imp)(self, op, args...);
}

// Type encodings of the C++ types that methods here take and return.
template <typename T>
struct TypeEncoding;
#define PLINKA_OBJC_ENCODING(T, code)         \
  template <>                                 \
  struct TypeEncoding<T> {                    \
    static std::string get() { return code; } \
  }
PLINKA_OBJC_ENCODING(void, "v");
PLINKA_OBJC_ENCODING(id, "@");
PLINKA_OBJC_ENCODING(Class, "#");
PLINKA_OBJC_ENCODING(SEL, ":");
PLINKA_OBJC_ENCODING(BOOL, "c");
PLINKA_OBJC_ENCODING(int, "i");
PLINKA_OBJC_ENCODING(unsigned int, "I");
PLINKA_OBJC_ENCODING(long, "l");
PLINKA_OBJC_ENCODING(unsigned long, "L");
PLINKA_OBJC_ENCODING(long long, "q");
PLINKA_OBJC_ENCODING(unsigned long long, "Q");
PLINKA_OBJC_ENCODING(float, "f");
PLINKA_OBJC_ENCODING(double, "d");
PLINKA_OBJC_ENCODING(const char*, "*");
PLINKA_OBJC_ENCODING(void*, "^v");
PLINKA_OBJC_ENCODING(const void*, "r^v");
PLINKA_OBJC_ENCODING(BOOL*, "^c");
PLINKA_OBJC_ENCODING(id*, "^@");
PLINKA_OBJC_ENCODING(const id*, "r^@");
#undef PLINKA_OBJC_ENCODING

template <typename R, typename... Args>
std::string typeEncodingOf(R (*)(id, SEL, Args...)) {
  std::string encoding = TypeEncoding<R>::get() + "@:";
  ((encoding += TypeEncoding<Args>::get()), ...);
  return encoding;
}
template <typename R, typename... Args>
std::string typeEncodingOf(R (*)(id, SEL, Args..., ...)) {
  std::string encoding = TypeEncoding<R>::get() + "@:";
  ((encoding += TypeEncoding<Args>::get()), ...);
  return encoding;
}

// Builds a class in the runtime: methods are plain functions (id self, SEL _cmd, args...), their
// type encoding derived from the function's type. register_() makes the class visible to
// objc_getClass; methods added afterwards go through class_addMethod like anyone else's.
class ClassBuilder {
 public:
  ClassBuilder(const char* name, Class superclass) {
    QuietLookups quiet;
    cls_ = objc_allocateClassPair(superclass, name, 0);
  }

  explicit operator bool() const { return cls_ != Nil; }
  Class cls() const { return cls_; }

  template <typename F>
  ClassBuilder& method(const char* selector, F* implementation) {
    class_addMethod(cls_, sel(selector), reinterpret_cast<IMP>(implementation),
                    typeEncodingOf(implementation).c_str());
    return *this;
  }
  template <typename F>
  ClassBuilder& classMethod(const char* selector, F* implementation) {
    class_addMethod(object_getClass(asId(cls_)), sel(selector),
                    reinterpret_cast<IMP>(implementation), typeEncodingOf(implementation).c_str());
    return *this;
  }
  ClassBuilder& ivar(const char* name, size_t size, unsigned char log2Alignment, const char* type) {
    class_addIvar(cls_, name, size, log2Alignment, type);
    return *this;
  }
  Class register_() {
    QuietLookups quiet;
    objc_registerClassPair(cls_);
    return cls_;
  }

 private:
  // The runtime looks a new class's name up while building it; that is not a lookup anyone made,
  // so a host's unknown-class handler does not hear of it.
  struct QuietLookups {
    QuietLookups() : handler(objc_setGetUnknownClassHandler(nullptr)) {}
    ~QuietLookups() { objc_setGetUnknownClassHandler(handler); }
    objc_get_unknown_class_handler handler;
  };

  Class cls_ = Nil;
};

// The class whose own method list holds `op`, walking up from `cls`; Nil when none does.
inline Class classDefiningMethod(Class cls, SEL op) {
  Method wanted = class_getInstanceMethod(cls, op);
  if (wanted == nullptr) return Nil;
  Class owner = cls;
  for (Class up = class_getSuperclass(cls); up != Nil; up = class_getSuperclass(up)) {
    if (class_getInstanceMethod(up, op) != wanted) break;
    owner = up;
  }
  return owner;
}
