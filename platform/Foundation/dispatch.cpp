// Dispatch queues: one list of waiting work, run by the host in any order the device could run
// it. Background work runs on threads of its own; main-queue work on the host's main thread.
#include <Foundation/Block.h>
#include <Foundation/dispatch.h>

#include <algorithm>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct dispatch_queue_s {
  enum Kind { main, global, serial } kind = serial;
  std::string label;
};

namespace {

// What work carries from the line that caused it to the work it schedules.
struct Tag {
  std::optional<std::string> row;
  std::string item;
};

struct Work {
  uint64_t number = 0;
  dispatch_queue_s* queue = nullptr;
  id block = nil;  // retained until run
  std::string what;
  Tag tag;
  bool held = true;  // false: runs at the next drain even while holding
};

struct Queues {
  std::mutex lock;
  std::list<Work> waiting;  // in the order submitted
  uint64_t lastNumber = 0;
  bool holding = false;
  Tag hostTag;  // for work submitted outside other work
  dispatch_queue_s mainQueue{dispatch_queue_s::main, "com.apple.main-thread"};
  dispatch_queue_s globalQueue{dispatch_queue_s::global, "com.apple.root.default-qos"};
};

Queues& queues() {
  static Queues* all = new Queues;  // never destroyed: work may still run while the process ends
  return *all;
}

std::thread::id& mainThread() {
  static std::thread::id id;
  return id;
}
__attribute__((constructor)) void rememberMainThread() {
  mainThread() = std::this_thread::get_id();
}

// The work this thread is running; null outside queued work.
thread_local const Work* current = nullptr;

void runHere(const Work& work) {
  ns::AutoreleasePool pool;
  const Work* outer = current;
  current = &work;
  msgSend<void>(work.block, sel("invoke"));
  current = outer;
  ns::release(work.block);
}

// Runs pieces of work to completion, each on its queue's thread: main-queue work here (the
// host's main thread), the rest on threads of their own, all at once.
void runToCompletion(std::vector<Work> batch) {
  std::vector<std::thread> threads;
  for (Work& work : batch) {
    if (work.queue->kind == dispatch_queue_s::main) continue;
    threads.emplace_back([&work] { runHere(work); });
  }
  for (std::thread& thread : threads) thread.join();
  for (Work& work : batch) {
    if (work.queue->kind == dispatch_queue_s::main) runHere(work);
  }
}

bool eligible(const Work& work, bool includeHeld) {
  return includeHeld || !work.held || !queues().holding;
}

// The waiting work that must run before `it` on the device: an older piece on the same main or
// serial queue. Called with the lock held.
const Work* mustRunFirst(std::list<Work>::const_iterator it) {
  if (it->queue->kind == dispatch_queue_s::global) return nullptr;
  for (auto before = queues().waiting.cbegin(); before != it; ++before) {
    if (before->queue == it->queue) return &*before;
  }
  return nullptr;
}

void submit(dispatch_queue_t queue, id block, std::string what, std::string item, bool held) {
  if (queue == nullptr || block == nil) return;
  Queues& all = queues();
  Work work;
  work.queue = queue;
  work.block = ns::retain(block);
  work.held = held;
  std::lock_guard guard(all.lock);
  work.tag = current != nullptr ? current->tag : all.hostTag;
  if (!item.empty()) work.tag.item = item;
  work.what = !what.empty()           ? what
              : work.tag.item.empty() ? std::string("block")
                                      : "block for " + work.tag.item;
  work.number = held ? ++all.lastNumber : 0;  // unheld work never waits for the user
  all.waiting.push_back(std::move(work));
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
  // Queues live as long as the process: each is kept in a list that is never freed, so that it
  // stays reachable (and is not taken for a leak) while work may still reach it.
  static std::mutex madeLock;
  static auto* made = new std::vector<dispatch_queue_s*>;
  auto* queue = new dispatch_queue_s;
  queue->label = label != nullptr ? label : "";
  std::lock_guard<std::mutex> hold(madeLock);
  made->push_back(queue);
  return queue;
}

__attribute__((visibility("default"))) void dispatch_async(dispatch_queue_t queue, id block) {
  submit(queue, block, "", "", true);
}

__attribute__((visibility("default"))) const char* dispatch_queue_get_label(
    dispatch_queue_t queue) {
  if (queue == nullptr && current != nullptr) queue = current->queue;
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
    std::vector<Work> batch;
    std::unique_lock guard(all.lock);
    // Every runnable background piece at once: all global work, the oldest of each serial queue.
    std::vector<dispatch_queue_t> served;
    for (auto it = all.waiting.begin(); it != all.waiting.end();) {
      bool take = it->queue->kind != dispatch_queue_s::main && eligible(*it, false) &&
                  (it->queue->kind == dispatch_queue_s::global ||
                   std::find(served.begin(), served.end(), it->queue) == served.end());
      if (it->queue->kind == dispatch_queue_s::serial) served.push_back(it->queue);
      if (take) {
        batch.push_back(std::move(*it));
        it = all.waiting.erase(it);
      } else {
        ++it;
      }
    }
    if (batch.empty()) {
      // Background work is idle: one main-queue piece, then look again.
      auto it = std::find_if(all.waiting.begin(), all.waiting.end(), [](const Work& work) {
        return work.queue->kind == dispatch_queue_s::main && eligible(work, false);
      });
      if (it == all.waiting.end()) return ran;
      batch.push_back(std::move(*it));
      all.waiting.erase(it);
      ++ran;
    }
    guard.unlock();
    runToCompletion(std::move(batch));
  }
}

void async(dispatch_queue_t queue, std::function<void()> work) {
  dispatch_async(queue, ns::block<>(std::move(work)));
}

void asyncDescribed(dispatch_queue_t queue, const std::string& what, const std::string& item,
                    std::function<void()> work) {
  submit(queue, ns::block<>(std::move(work)), what, item, true);
}

void asyncUnheld(dispatch_queue_t queue, std::function<void()> work) {
  submit(queue, ns::block<>(std::move(work)), "", "", false);
}

std::string currentItem() {
  return current != nullptr ? current->tag.item : "";
}

void setRow(std::optional<std::string> row) {
  std::lock_guard guard(queues().lock);
  queues().hostTag = Tag{std::move(row), ""};
}

void hold(bool on) {
  std::lock_guard guard(queues().lock);
  if (on && !queues().holding && queues().waiting.empty()) queues().lastNumber = 0;
  queues().holding = on;
}

bool holding() {
  std::lock_guard guard(queues().lock);
  return queues().holding;
}

std::string queueName(dispatch_queue_t queue) {
  switch (queue->kind) {
    case dispatch_queue_s::main:
      return "main queue";
    case dispatch_queue_s::global:
      return "background queue";
    case dispatch_queue_s::serial:
      break;
  }
  return "queue " + queue->label;
}

std::vector<Waiting> waiting() {
  std::lock_guard guard(queues().lock);
  std::vector<Waiting> out;
  for (auto it = queues().waiting.cbegin(); it != queues().waiting.cend(); ++it) {
    if (!it->held) continue;
    const Work* first = mustRunFirst(it);
    out.push_back({it->number, it->what, it->tag.row, queueName(it->queue),
                   first != nullptr ? first->number : 0});
  }
  return out;
}

bool runWaiting(uint64_t number, std::string& problem) {
  Queues& all = queues();
  std::vector<Work> batch;
  {
    std::lock_guard guard(all.lock);
    auto it = std::find_if(all.waiting.begin(), all.waiting.end(),
                           [&](const Work& work) { return work.number == number; });
    if (it == all.waiting.end()) {
      problem = "no item " + std::to_string(number) + " is waiting";
      return false;
    }
    if (const Work* first = mustRunFirst(it)) {
      problem = "item " + std::to_string(first->number) + " (" + first->what +
                ") must run first: the " + queueName(it->queue) + " runs its work in order";
      return false;
    }
    batch.push_back(std::move(*it));
    all.waiting.erase(it);
  }
  runToCompletion(std::move(batch));
  return true;
}

size_t runAllWaiting() {
  size_t ran = 0;
  for (;;) {
    uint64_t oldest = 0;
    {
      std::lock_guard guard(queues().lock);
      if (queues().waiting.empty()) return ran;
      oldest = queues().waiting.front().number;
    }
    std::string ignored;
    runWaiting(oldest, ignored);  // the oldest never waits for another
    ++ran;
  }
}

size_t dropWaiting() {
  std::list<Work> dropped;
  {
    std::lock_guard guard(queues().lock);
    dropped.swap(queues().waiting);
  }
  for (Work& work : dropped) ns::release(work.block);
  return dropped.size();
}

}  // namespace dispatch
