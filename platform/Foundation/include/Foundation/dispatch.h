// Grand Central Dispatch, as the platform stand-ins and the hosts use it: the C interface of
// <dispatch/dispatch.h>, which device code includes, and below it the hosts' side.
//
// Mirrors: +[NSThread isMainThread].
//
// Faithful: the main queue runs its blocks one at a time, in order, on the main thread; a queue
// made with dispatch_queue_create runs its blocks one at a time, in order, on a thread other
// than the main one; the global queues run their blocks on other threads, at the same time as
// one another, finishing in any order. A block submitted to a queue is retained until it has run.
// Simplified, so that what a host prints after a user action is the same on every run: the
// main queue has no run loop of its own, and work waits until the host runs it. Either the host
// drains (`dispatch::runPendingWork()`: all runnable background work at once — every global
// block, the oldest block of each serial queue — each on a thread of its own, until none is
// left; then one main-queue block on the calling thread; and again, until no work is left), so
// main-queue work and background work never overlap in time; or, while holding, the host runs
// the waiting work one piece at a time, in any order the device could run it (`runWaiting`).
// The global queues are one queue (per quality of service, all the same here).
//
// Every piece of work carries a tag: the row the host named when it was submitted from outside
// other work (`setRow`), else the tag of the work that submitted it; and the library item (a
// file name) a stand-in named for it, else the submitting work's.
#pragma once

#include <Foundation/Foundation.h>
#include <dispatch/dispatch.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dispatch {

// True on the process's main thread (the one that loaded the platform).
bool isMainThread();

// For hosts, on the main thread: runs every pending piece of platform work, on the main queue
// and on background queues, in turns as described above, until none is left. Answers the number
// of main-queue blocks run.
size_t runPendingWork();

// Convenience: submits a C++ function as a block.
void async(dispatch_queue_t queue, std::function<void()> work);

// For stand-ins: submits work that says what it is ("export of IMG_0004.MOV") and which library
// item it concerns ("" keeps the submitting work's). Plain dispatch_async work is "block", or
// "block for ITEM" when it inherits an item.
void asyncDescribed(dispatch_queue_t queue, const std::string& what, const std::string& item,
                    std::function<void()> work);
// For stand-ins: work the host never holds (the interface's own transitions, such as a
// dismissal's completion); it runs at the next drain.
void asyncUnheld(dispatch_queue_t queue, std::function<void()> work);
// The library item of the work running on this thread; "" outside work or when it has none.
std::string currentItem();

// For hosts: the row (by name; nothing for none) that work submitted from now on, outside other
// work, is tagged with.
void setRow(std::optional<std::string> row);

// For hosts: while holding, runPendingWork() runs only unheld work; the rest waits, numbered
// from 1 at the first hold with nothing waiting, each number kept until the work runs.
void hold(bool on);
bool holding();

struct Waiting {
  uint64_t number;
  std::string what;                // "export of IMG_0004.MOV"
  std::optional<std::string> row;  // the row that caused it
  std::string queue;               // "main queue", "background queue", "queue LABEL"
  uint64_t after = 0;  // the older item of its main or serial queue that must run first; 0: none
};
// The work held back while holding, oldest first; unheld work that has yet to run is not listed.
std::vector<Waiting> waiting();

// Runs waiting work `number` to completion on its queue's thread (main-queue work on the calling
// thread, which must be the main one); work it submits waits after the rest. Refused, with
// `problem`, when nothing waits under that number or when older work of the same main or serial
// queue waits (global work runs in any order).
bool runWaiting(uint64_t number, std::string& problem);
// Runs everything waiting, oldest first, until nothing waits; answers how many pieces ran.
size_t runAllWaiting();
// Forgets everything waiting, unrun (the process is ending); answers how many pieces there were.
size_t dropWaiting();

}  // namespace dispatch
