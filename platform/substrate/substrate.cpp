#include <dlfcn.h>
#include <substrate.h>

#include <device/journal.h>

#include <cstdio>
#include <cstdlib>
#include <string>

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

bool isRegistered(Class cls) {
  return cls != Nil && objc_lookUpClass(class_getName(cls)) == cls;
}

journal::Entry nameOrNull(Class cls) {
  return cls == Nil ? journal::Entry() : journal::Entry(class_getName(cls));
}

}  // namespace

extern "C" BOOL class_addMethod(Class cls, SEL selector, IMP implementation, const char* types) {
  BOOL added = runtimeAddMethod()(cls, selector, implementation, types);
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
    runtimeAddMethod()(cls, selector, replacement, method_getTypeEncoding(method));
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
