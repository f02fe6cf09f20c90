// What every fuzz target shares: a simulated device of its own, and the journal written out as
// the hosts write it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzing {

// Makes a temporary device root (removed at exit) and points the platform at it. Call once,
// from LLVMFuzzerInitialize.
void useTemporaryDevice();

// Writes `bytes` to a device path, making its folders.
void writeDeviceFile(const std::string& devicePath, const std::string& bytes);

// Writes every journal entry as JSON, as plinka-sim and the test harness do, then empties the
// journal. Every entry must be writable whatever bytes the input held.
void writeJournal();

// A target's check beyond "no crash": when `condition` fails, says `what` on standard error and
// aborts, which libFuzzer reports as a crash with its input.
void require(bool condition, const char* what);

inline std::string bytesOf(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace fuzzing
