// Grand Central Dispatch, as the platform stand-ins use it to call handlers "later".
//
// Mirrors: dispatch_get_main_queue, dispatch_get_global_queue, dispatch_queue_create (serial
// queues), dispatch_async with a block, dispatch_queue_get_label, and +[NSThread isMainThread].
//
// Faithful: the main queue runs its blocks one at a time, in order, on the main thread; every
// other queue runs its blocks one at a time, in order, on a thread of its own. A block submitted to a queue is retained until it has run.
// Simplified, so that what a host prints after a user action is the same on every run: the
// main queue has no run loop of its own, and work is scheduled in turns. Blocks submitted to
// background queues wait until the host drains; `dispatch::runPendingWork()` then lets the
// background queues run (each on its own thread, in parallel with one another) until they are
// idle, then runs one main-queue block on the calling thread, and again, until no work is left
// anywhere. Main-queue work and background work thus never overlap in time. The global queues
// are one serial queue (per quality of service, all the same here).
#pragma once

#include <Foundation/Foundation.h>

typedef struct dispatch_queue_s* dispatch_queue_t;

extern "C" {
dispatch_queue_t dispatch_get_main_queue(void);
// Any identifier and flags answer the one global background queue.
dispatch_queue_t dispatch_get_global_queue(long identifier, unsigned long flags);
// A new serial queue (never freed; labels are for the reader only).
dispatch_queue_t dispatch_queue_create(const char* label, void* attributes);
// Runs `block` (a block of no arguments) later on `queue`; a nil block or queue does nothing.
void dispatch_async(dispatch_queue_t queue, id block);
// The queue's label; for DISPATCH_CURRENT_QUEUE_LABEL (null), the label of the queue whose block
// is running on this thread, "" outside queued work.
const char* dispatch_queue_get_label(dispatch_queue_t queue);
}
#define DISPATCH_CURRENT_QUEUE_LABEL nullptr

namespace dispatch {

// True on the process's main thread (the one that loaded the platform).
bool isMainThread();

// For hosts, on the main thread: runs every pending piece of platform work, on the main queue
// and on background queues, in turns as described above, until none is left. Answers the number
// of main-queue blocks run.
size_t runPendingWork();

// Convenience: submits a C++ function as a block.
void async(dispatch_queue_t queue, std::function<void()> work);

}  // namespace dispatch
