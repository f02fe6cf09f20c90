#include <dlfcn.h>
#include <substrate.h>

#include <device/journal.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define PLINKA_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PLINKA_LEAK_CHECKED 1
#endif
#endif
#ifdef PLINKA_LEAK_CHECKED
#include <sanitizer/lsan_interface.h>
#endif

namespace {

using AddMethod = BOOL (*)(Class, SEL, IMP, const char*);

// The runtime's own class_addMethod, found past this library's.
AddMethod runtimeAddMethod() {
  static AddMethod real = [] {
    auto found = reinterpret_cast<AddMethod>(dlsym(RTLD_NEXT, "class_addMethod"));
    if (found == nullptr) {
      std::fprintf(stderr, "substrate: the object runtime's class_addMethod is missing\n");
      std::abort();
    }
    return found;
  }();
  return real;
}

// Adds a method through the runtime. GCC's runtime copies the method's name when it adds it and
// later overwrites the copy's only pointer with the selector, so every method added is a small
// leak of the runtime's, reported at every process's exit. Under LeakSanitizer those copies are
// left out of the check: matching hundreds of reports against a suppression symbolises the
// runtime's stacks, which more than doubled the time each process of the test suite takes.
BOOL addMethod(Class cls, SEL selector, IMP implementation, const char* types) {
#ifdef PLINKA_LEAK_CHECKED
  __lsan::ScopedDisabler runtimeCopiesAreNotOurs;
#endif
  return runtimeAddMethod()(cls, selector, implementation, types);
}

bool isRegistered(Class cls) {
  return cls != Nil && objc_lookUpClass(class_getName(cls)) == cls;
}

journal::Entry nameOrNull(Class cls) {
  return cls == Nil ? journal::Entry() : journal::Entry(class_getName(cls));
}

}  // namespace

#ifdef PLINKA_LEAK_CHECKED
// GCC's runtime loads its own classes through __objc_exec_class when it is loaded, and that
// first load keeps two list cells it never frees. With them left out of the check too, a process
// of ours ends with no leak to match against a suppression at all.
extern "C" void __objc_exec_class(void* module) {
  using ExecClass = void (*)(void*);
  static ExecClass real = reinterpret_cast<ExecClass>(dlsym(RTLD_NEXT, "__objc_exec_class"));
  if (real == nullptr) {
    std::fprintf(stderr, "substrate: the object runtime's __objc_exec_class is missing\n");
    std::abort();
  }
  __lsan::ScopedDisabler runtimeListsAreNotOurs;
  real(module);
}
#endif

extern "C" BOOL class_addMethod(Class cls, SEL selector, IMP implementation, const char* types) {
  BOOL added = addMethod(cls, selector, implementation, types);
  // Classes still being built are the host's own business; additions to live classes are
  // effects on the running process.
  if (added && isRegistered(cls)) {
    journal::record("add-method", {{"class", class_getName(cls)},
                                   {"selector", sel_getName(selector)},
                                   {"types", types != nullptr ? types : ""}});
  }
  return added;
}

extern "C" void MSHookMessageEx(Class cls, SEL selector, IMP replacement, IMP* result) {
  Method method =
      cls != Nil && selector != nullptr ? class_getInstanceMethod(cls, selector) : nullptr;
  if (method == nullptr || replacement == nullptr) {
    journal::record("hook-failed",
                    {{"class", nameOrNull(cls)},
                     {"selector", selector != nullptr ? journal::Entry(sel_getName(selector))
                                                      : journal::Entry()}});
    return;
  }
  Class superclass = class_getSuperclass(cls);
  bool inherited = superclass != Nil && class_getInstanceMethod(superclass, selector) == method;
  IMP previous;
  if (inherited) {
    previous = method_getImplementation(method);
    addMethod(cls, selector, replacement, method_getTypeEncoding(method));
  } else {
    // GCC's runtime builds a class's dispatch table on first use; setting an implementation
    // before then writes into the table shared by every class not yet used, and the new
    // implementation leaks into unrelated classes. Asking for the implementation first builds
    // this class's own table.
    class_getMethodImplementation(cls, selector);
    previous = method_setImplementation(method, replacement);
  }
  if (result != nullptr) *result = previous;
  journal::record("hook", {{"class", class_getName(cls)}, {"selector", sel_getName(selector)}});
}
