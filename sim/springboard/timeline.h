// The journal as a readable timeline: one line per entry, the simulated time first.
#pragma once

#include <device/journal.h>

#include <string>
#include <vector>

namespace springboard {

std::string timelineLine(const journal::Entry& entry);
std::string timeline(const std::vector<journal::Entry>& entries);

}  // namespace springboard
