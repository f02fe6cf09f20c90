// Dispatch queues: the main queue, drained by the host, and serial background queues, each
// with a thread of its own.
#include <Foundation/Block.h>
#include <Foundation/dispatch.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct dispatch_queue_s {
  std::string label;
  bool main = false;
  std::deque<id> blocks;    // retained until run
  pid_t workerProcess = 0;  // the process whose thread serves this queue (a fork has none)
};

namespace {

// One lock and one condition for every queue: the host waits for "no background work left".
struct Queues {
  std::mutex lock;
  std::condition_variable changed;
  size_t backgroundPending = 0;  // blocks queued or running on background queues
  bool open = false;             // background queues run only while the host drains
  dispatch_queue_s mainQueue;
  dispatch_queue_s globalQueue;
};

Queues& queues() {
  // Never destroyed: worker threads may still wait on it while the process ends.
  static Queues* all = [] {
    auto* q = new Queues;
    q->mainQueue.label = "com.apple.main-thread";
    q->mainQueue.main = true;
    q->globalQueue.label = "com.apple.root.default-qos";
    return q;
  }();
  return *all;
}

std::thread::id& mainThread() {
  static std::thread::id id;
  return id;
}
__attribute__((constructor)) void rememberMainThread() {
  mainThread() = std::this_thread::get_id();
}

// The queue whose block this thread is running; null outside queued work.
thread_local dispatch_queue_s* currentQueue = nullptr;

void runBlock(dispatch_queue_s* queue, id block) {
  ns::AutoreleasePool pool;
  dispatch_queue_s* outer = currentQueue;
  currentQueue = queue;
  msgSend<void>(block, sel("invoke"));
  currentQueue = outer;
  ns::release(block);
}

void serve(dispatch_queue_s* queue) {
  Queues& all = queues();
  std::unique_lock guard(all.lock);
  for (;;) {
    all.changed.wait(guard, [&] { return all.open && !queue->blocks.empty(); });
    id block = queue->blocks.front();
    queue->blocks.pop_front();
    guard.unlock();
    runBlock(queue, block);
    guard.lock();
    --all.backgroundPending;
    all.changed.notify_all();
  }
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) dispatch_queue_t dispatch_get_main_queue(void) {
  return &queues().mainQueue;
}

__attribute__((visibility("default"))) dispatch_queue_t dispatch_get_global_queue(long,
                                                                                  unsigned long) {
  return &queues().globalQueue;
}

__attribute__((visibility("default"))) dispatch_queue_t dispatch_queue_create(const char* label,
                                                                              void*) {
  auto* queue = new dispatch_queue_s;  // queues live as long as the process
  queue->label = label != nullptr ? label : "";
  return queue;
}

__attribute__((visibility("default"))) void dispatch_async(dispatch_queue_t queue, id block) {
  if (queue == nullptr || block == nil) return;
  Queues& all = queues();
  std::lock_guard guard(all.lock);
  queue->blocks.push_back(ns::retain(block));
  if (!queue->main) {
    ++all.backgroundPending;
    if (queue->workerProcess != getpid()) {
      queue->workerProcess = getpid();
      std::thread(serve, queue).detach();
    }
  }
  all.changed.notify_all();
}

__attribute__((visibility("default"))) const char* dispatch_queue_get_label(
    dispatch_queue_t queue) {
  if (queue == nullptr) queue = currentQueue;
  return queue != nullptr ? queue->label.c_str() : "";
}

}  // extern "C"

namespace dispatch {

bool isMainThread() {
  return std::this_thread::get_id() == mainThread();
}

size_t runPendingWork() {
  Queues& all = queues();
  size_t ran = 0;
  for (;;) {
    std::unique_lock guard(all.lock);
    all.open = true;
    all.changed.notify_all();
    all.changed.wait(guard, [&] { return all.backgroundPending == 0; });
    all.open = false;
    if (all.mainQueue.blocks.empty()) return ran;
    id block = all.mainQueue.blocks.front();
    all.mainQueue.blocks.pop_front();
    guard.unlock();
    runBlock(&all.mainQueue, block);
    ++ran;
  }
}

void async(dispatch_queue_t queue, std::function<void()> work) {
  dispatch_async(queue, ns::block<>(std::move(work)));
}

}  // namespace dispatch
