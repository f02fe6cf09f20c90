// Grand Central Dispatch, as the platform stand-ins and the hosts use it: the C interface of
// <dispatch/dispatch.h>, which device code includes, and below it the hosts' side.
//
// Mirrors: +[NSThread isMainThread].
//
// Faithful: the main queue runs its blocks one at a time, in order, on the main thread; every
// other queue runs its blocks one at a time, in order, on a thread of its own. A block submitted to
// a queue is retained until it has run. Simplified, so that what a host prints after a user action
// is the same on every run: the main queue has no run loop of its own, and work is scheduled in
// turns. Blocks submitted to background queues wait until the host drains;
// `dispatch::runPendingWork()` then lets the background queues run (each on its own thread, in
// parallel with one another) until they are idle, then runs one main-queue block on the calling
// thread, and again, until no work is left anywhere. Main-queue work and background work thus never
// overlap in time. The global queues are one serial queue (per quality of service, all the same
// here).
#pragma once

#include <Foundation/Foundation.h>
#include <dispatch/dispatch.h>

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
