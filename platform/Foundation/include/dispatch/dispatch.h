// Grand Central Dispatch's C interface, as device code includes it (<dispatch/dispatch.h>).
//
// Mirrors: dispatch_get_main_queue, dispatch_get_global_queue, dispatch_queue_create (serial
// queues), dispatch_async with a block, dispatch_queue_get_label. A dispatch_block_t is a block
// of no arguments: on the device `void (^)(void)`, here a block object made as Foundation/Block.h
// makes them (`ns::block<>(...)`).
//
// Faithful: the main queue runs its blocks one at a time, in order, on the main thread; a queue
// made with dispatch_queue_create runs its blocks one at a time, in order, on a thread of its
// own; the global queues run their blocks concurrently, finishing in any order. A block submitted
// to a queue is retained until it has run. Simplified: the global queues are one concurrent queue
// (per quality of service, all the same here), and queued work runs when the host lets it (see
// Foundation/dispatch.h).
#pragma once

#include <objc/objc.h>

typedef struct dispatch_queue_s* dispatch_queue_t;
typedef id dispatch_block_t;

#define DISPATCH_QUEUE_PRIORITY_DEFAULT 0

extern "C" {
dispatch_queue_t dispatch_get_main_queue(void);
// Any identifier and flags answer the one global (concurrent) background queue.
dispatch_queue_t dispatch_get_global_queue(long identifier, unsigned long flags);
// A new serial queue (kept for the life of the process; labels are for the reader only).
dispatch_queue_t dispatch_queue_create(const char* label, void* attributes);
// Runs `block` later on `queue`; a nil block or queue does nothing.
void dispatch_async(dispatch_queue_t queue, dispatch_block_t block);
// The queue's label; for DISPATCH_CURRENT_QUEUE_LABEL (null), the label of the queue whose block
// is running on this thread, "" outside queued work.
const char* dispatch_queue_get_label(dispatch_queue_t queue);
}
#define DISPATCH_CURRENT_QUEUE_LABEL nullptr
