// The disk faults a script can set, in every command that runs one: `fault disk full`,
// `fault rename fails`, `fault remove fails`, `fault disk ok`. They act on the device's file
// layer (device/files.h) of the process that runs the line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sim {

// A set of disk faults, one bit each; 0 is a sound disk.
enum DiskFaults : unsigned { kDiskFull = 1, kRenameFails = 2, kRemoveFails = 4 };

// Parses the words after `fault` ("disk full", ...): the faults in force after the line, given
// those before it; nothing, with `problem`, for words that name no disk fault.
std::optional<unsigned> parseDiskFault(const std::vector<std::string>& words, unsigned before,
                                       std::string& problem);
// True when the words after `fault` are meant as a disk fault (their first word is disk, rename
// or remove).
bool isDiskFault(const std::vector<std::string>& words);

// The faults the file layer has now, and setting them.
unsigned diskFaults();
void setDiskFaults(unsigned faults);

extern const char* const kDiskFaultUsage;  // "fault disk full|rename fails|remove fails|disk ok"

}  // namespace sim
