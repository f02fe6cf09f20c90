// Held platform work in the user's hands: the script lines hold, pending, run N, run all and
// release, and the disk faults, as `plinka-sim settings` runs them.
#pragma once

#include <device/journal.h>

#include <cstdint>
#include <optional>
#include <string>

namespace settings_sim {

// Records one "pending" entry {number, what, row, queue} per piece of waiting work, oldest
// first; none when nothing waits.
void recordPending();

// Runs waiting item `number` (nothing: all of it, oldest first, until nothing waits); false,
// with `problem`, when the item is not waiting or must wait for another.
bool runHeld(std::optional<uint64_t> number, std::string& problem);

// At the end of a script: forgets the work still waiting, unrun, and records "left-waiting"
// {items} when there was any.
void leaveWaitingWork();

// The readable line of an entry these lines make (pending, fault, left-waiting); false for any
// other.
bool printHeldEntry(const journal::Entry& entry);

}  // namespace settings_sim
