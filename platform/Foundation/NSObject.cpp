// NSObject: the root class, retain counting, autorelease pools and the state slot.
#include <Foundation/Block.h>
#include <Foundation/ObjectState.h>

#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <unordered_map>

#include "internal.h"

namespace ns {
namespace {

// The layout of every object: the runtime's class pointer, then the root class's two
// instance variables.
struct ObjectHeader {
  Class isa;
  intptr_t retainCount;
  ObjectState* state;
};

constexpr intptr_t kImmortal = INTPTR_MAX;

// Set in the state pointer when the state lives in the object's own block (newObjectWith), so
// that it is destroyed there rather than deleted.
constexpr uintptr_t kInlineState = 1;

ObjectHeader* header(id object) {
  return reinterpret_cast<ObjectHeader*>(object);
}

ObjectState* stateIn(const ObjectHeader* object) {
  return reinterpret_cast<ObjectState*>(reinterpret_cast<uintptr_t>(object->state) & ~kInlineState);
}

void dropState(ObjectHeader* object) {
  bool inlined = (reinterpret_cast<uintptr_t>(object->state) & kInlineState) != 0;
  ObjectState* state = stateIn(object);
  object->state = nullptr;
  if (inlined) {
    state->~ObjectState();
  } else {
    delete state;
  }
}

size_t roundedInstanceSize(Class cls) {
  return (class_getInstanceSize(cls) + 15) & ~size_t{15};
}

// The thread's autorelease pools, as the runtime keeps them: one stack of autoreleased objects,
// and where each open pool begins in it. Opening and closing a pool allocates nothing, so a
// pool around each turn of a long loop is cheap.
// (One thread-local object, so that each use finds the thread's storage once, and found at a
// fixed offset: this library is loaded with the program, never opened later.)
struct Pools {
  std::vector<id> objects;
  std::vector<size_t> starts;
};
thread_local Pools pools __attribute__((tls_model("initial-exec")));

// --- class methods -------------------------------------------------------------------------

id classAlloc(id self, SEL) {
  id object = class_createInstance(reinterpret_cast<Class>(self), 0);
  header(object)->retainCount = 1;
  return object;
}
id classNew(id self, SEL) {
  static const SEL init = sel("init");
  return msgSend(classAlloc(self, nullptr), init);
}
id classSelf(id self, SEL) {
  return self;
}
void classNoop(id, SEL) {}
id classDescription(id self, SEL) {
  return string(class_getName(reinterpret_cast<Class>(self)));
}
BOOL classInstancesRespond(id self, SEL, SEL op) {
  return class_respondsToSelector(reinterpret_cast<Class>(self), op);
}
BOOL classResponds(id self, SEL, SEL op) {
  return class_respondsToSelector(object_getClass(self), op);
}

// --- instance methods ----------------------------------------------------------------------

id objInit(id self, SEL) {
  return self;
}
id objRetain(id self, SEL) {
  return retain(self);
}
void objRelease(id self, SEL) {
  release(self);
}
id objAutorelease(id self, SEL) {
  return autorelease(self);
}
NSUInteger objRetainCount(id self, SEL) {
  return retainCount(self);
}
void objDealloc(id self, SEL) {
  internal::forgetJournalName(self);
  dropState(header(self));
  object_dispose(self);
}
Class objClass(id self, SEL) {
  return object_getClass(self);
}
BOOL objIsKindOfClass(id self, SEL, Class wanted) {
  for (Class c = object_getClass(self); c != Nil; c = class_getSuperclass(c)) {
    if (c == wanted) return YES;
  }
  return NO;
}
BOOL objIsMemberOfClass(id self, SEL, Class wanted) {
  return object_getClass(self) == wanted;
}
BOOL objResponds(id self, SEL, SEL op) {
  return class_respondsToSelector(object_getClass(self), op);
}
BOOL objIsEqual(id self, SEL, id other) {
  return self == other;
}
NSUInteger objHash(id self, SEL) {
  return reinterpret_cast<NSUInteger>(self);
}
id objDescription(id self, SEL) {
  return string("<" + className(self) + ">");
}

Class registerRoot() {
  ClassBuilder builder("NSObject", Nil);
  builder.ivar("isa", sizeof(Class), 3, "#")
      .ivar("_retainCount", sizeof(intptr_t), 3, "q")
      .ivar("_state", sizeof(void*), 3, "^v")
      .classMethod("alloc", classAlloc)
      .classMethod("new", classNew)
      .classMethod("class", classSelf)
      .classMethod("self", classSelf)
      .classMethod("retain", classSelf)
      .classMethod("autorelease", classSelf)
      .classMethod("release", classNoop)
      .classMethod("description", classDescription)
      .classMethod("instancesRespondToSelector:", classInstancesRespond)
      .classMethod("respondsToSelector:", classResponds)
      .method("init", objInit)
      .method("self", objInit)
      .method("retain", objRetain)
      .method("release", objRelease)
      .method("autorelease", objAutorelease)
      .method("retainCount", objRetainCount)
      .method("dealloc", objDealloc)
      .method("class", objClass)
      .method("isKindOfClass:", objIsKindOfClass)
      .method("isMemberOfClass:", objIsMemberOfClass)
      .method("respondsToSelector:", objResponds)
      .method("isEqual:", objIsEqual)
      .method("hash", objHash)
      .method("description", objDescription);
  return builder.register_();
}

void registerFoundationClasses() {
  static const bool done = [] {
    rootClass();
    internal::registerStringClasses();
    internal::registerNumberClass();
    internal::registerURLClass();
    internal::registerArrayClasses();
    internal::registerDictionaryClasses();
    internal::registerDataClass();
    internal::registerNotificationClasses();
    internal::registerFileManagerClass();
    internal::registerUserDefaultsClass();
    internal::registerErrorClass();
    blockClass();
    internal::registerCharacterSetClass();
    internal::registerBundleClass();
    return true;
  }();
  (void)done;
}

__attribute__((constructor)) void loadFoundation() {
  registerFoundationClasses();
}

struct JournalNames {
  std::mutex lock;
  std::map<id, std::string> names;
  // How many objects have a name: while none has, an object going away has nothing to forget,
  // and the lock is not taken for it.
  std::atomic<size_t> named{0};
  std::map<std::string, int> counters;
};
JournalNames& journalNames() {
  static JournalNames* names = new JournalNames;  // outlives every object
  return *names;
}

}  // namespace

Class rootClass() {
  static Class root = registerRoot();
  return root;
}

Class classNamed(const char* name) {
  registerFoundationClasses();
  return objc_getClass(name);
}

bool isKindOf(id object, const char* name) {
  if (object == nil) return false;
  // Classes are looked up by name once per thread; a class is never unregistered.
  static thread_local std::unordered_map<std::string, Class> known;
  auto found = known.find(name);
  Class wanted = found != known.end() ? found->second : objc_lookUpClass(name);
  if (found == known.end() && wanted != Nil) known.emplace(name, wanted);
  return object != nil && wanted != Nil && objIsKindOfClass(object, nullptr, wanted);
}

std::string className(id object) {
  return object == nil ? "nil" : class_getName(object_getClass(object));
}

id retain(id object) {
  if (object == nil) return nil;
  std::atomic_ref<intptr_t> count(header(object)->retainCount);
  // A new reference needs no ordering; the last release orders every earlier use before the
  // deallocation.
  if (count.load(std::memory_order_relaxed) != kImmortal) {
    count.fetch_add(1, std::memory_order_relaxed);
  }
  return object;
}

void release(id object) {
  if (object == nil) return;
  std::atomic_ref<intptr_t> count(header(object)->retainCount);
  if (count.load(std::memory_order_relaxed) == kImmortal) return;
  // The last release sees every write made through the other references before it frees.
  static const SEL dealloc = sel("dealloc");
  if (count.fetch_sub(1, std::memory_order_acq_rel) == 1) msgSend<void>(object, dealloc);
}

id autorelease(id object) {
  // With no pool in place the object is leaked, as on the device.
  if (object == nil) return object;
  Pools& open = pools;
  if (!open.starts.empty()) open.objects.push_back(object);
  return object;
}

NSUInteger retainCount(id object) {
  if (object == nil) return 0;
  intptr_t count = std::atomic_ref<intptr_t>(header(object)->retainCount).load();
  return count == kImmortal ? UINT64_MAX : static_cast<NSUInteger>(count);
}

AutoreleasePool::AutoreleasePool() : token_(objc_autoreleasePoolPush()) {}
AutoreleasePool::~AutoreleasePool() {
  objc_autoreleasePoolPop(token_);
}

ObjectState* objectState(id object) {
  return object == nil ? nullptr : stateIn(header(object));
}

void setObjectState(id object, std::unique_ptr<ObjectState> state) {
  dropState(header(object));
  header(object)->state = state.release();
}

id detail::allocateWithRoom(Class cls, size_t size, void** room) {
  size_t own = roundedInstanceSize(cls);
  id object = class_createInstance(cls, own - class_getInstanceSize(cls) + size);
  header(object)->retainCount = 1;
  *room = reinterpret_cast<char*>(object) + own;
  return object;
}

void detail::adoptInlineState(id object, ObjectState* state) {
  header(object)->state =
      reinterpret_cast<ObjectState*>(reinterpret_cast<uintptr_t>(state) | kInlineState);
}

id newObject(Class cls, std::unique_ptr<ObjectState> state) {
  id object = classAlloc(asId(cls), nullptr);
  header(object)->state = state.release();
  return object;
}

id makeImmortal(id object) {
  if (object != nil) header(object)->retainCount = kImmortal;
  return object;
}

std::string journalName(id object) {
  if (object == nil) return "nil";
  JournalNames& all = journalNames();
  std::lock_guard guard(all.lock);
  auto found = all.names.find(object);
  if (found != all.names.end()) return found->second;
  std::string cls = className(object);
  std::string name = cls + "#" + std::to_string(++all.counters[cls]);
  all.names.emplace(object, name);
  all.named.store(all.names.size(), std::memory_order_release);
  return name;
}

void internal::forgetJournalName(id object) {
  JournalNames& all = journalNames();
  if (all.named.load(std::memory_order_acquire) == 0) return;
  std::lock_guard guard(all.lock);
  all.names.erase(object);
  all.named.store(all.names.size(), std::memory_order_release);
}

}  // namespace ns

// A pool's token is its depth: the number of pools open once it is.
void* objc_autoreleasePoolPush(void) {
  ns::Pools& open = ns::pools;
  open.starts.push_back(open.objects.size());
  return reinterpret_cast<void*>(open.starts.size());
}

void objc_autoreleasePoolPop(void* token) {
  ns::Pools& open = ns::pools;
  auto depth = reinterpret_cast<size_t>(token);
  if (depth == 0 || depth > open.starts.size()) {
    // The runtime's own words, and its end: popping a pool already closed is a fatal error.
    std::fprintf(stderr, "objc[%d]: Invalid or prematurely-freed autorelease pool %p.\n",
                 static_cast<int>(getpid()), token);
    std::abort();
  }
  // Released in the order they came. Releasing may autorelease more into this pool: they join
  // the end and are released in turn, by position, as the stack may move when it grows.
  size_t start = open.starts[depth - 1];
  for (size_t at = start; at < open.objects.size(); ++at) ns::release(open.objects[at]);
  open.objects.resize(start);
  open.starts.resize(depth - 1);
}
