// The one file layer: every change the platform makes to files under the device root (a file
// made, written, closed, renamed or removed, a folder made) goes through here, so that each can
// be counted, failed on purpose, or watched just before it happens.
//
// Paths are host paths (device::hostPath of a device path). Outside the device root the layer
// only does the work: nothing is counted or failed there.
//
// Effects, counted in the order they happen, process-wide: "create" (a file made), "write" (a
// point in the middle of each write: half of the bytes are on disk), "close", "rename",
// "remove", "folder" (a folder made). A watcher set with watchEffects() is called just before
// each, with its number (from 1) — the place to stop the process for a crash test.
//
// Faults, process-wide until cleared:
//   diskFull     every write and every new folder fails with ENOSPC ("no space left on
//                device"); a file can still be made empty, renamed and removed, as on a full
//                disk where freeing space is always allowed
//   renameFails  every rename (a move, a replacement) fails with EIO
//   removeFails  every removal of something that stands there fails with EIO
// Every operation answers 0 or an errno value; none throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace device::files {

enum class Fault { diskFull, renameFails, removeFails };
void setFault(Fault fault, bool on);
void clearFaults();
bool faulted(Fault fault);

// The number of effects counted so far in this process.
uint64_t effects();
// Called just before each effect under the root (from any thread); an empty function stops
// watching. Answers the previous watcher.
using Watcher = std::function<void(uint64_t number, const char* kind, const std::string& path)>;
Watcher watchEffects(Watcher watcher);

// True when `hostPath` lies under the device root (a root of "" or "/" holds every path).
bool underRoot(const std::string& hostPath);

// A file being written: made by create(), closed by close() or when it goes.
class Output {
 public:
  Output() = default;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output();

  // Makes the file (readable and writable). `exclusive`: fails with EEXIST when anything stands
  // at the path; otherwise an existing file is emptied.
  int create(const std::string& hostPath, bool exclusive);
  // Writes all of `size` bytes at the current position.
  int write(const void* bytes, size_t size);
  // For containers that go back to fill in sizes: reads and positions as lseek(2) and read(2);
  // a negative answer is -errno.
  int64_t seek(int64_t offset, int whence);
  int64_t read(void* bytes, size_t size);
  int64_t size();
  int close();

  bool isOpen() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

// Moves `from` to `to`: over whatever stands there when `replace`, else failing with EEXIST.
int rename(const std::string& from, const std::string& to, bool replace);
// Removes a file or an empty folder; ENOENT when nothing stands there.
int remove(const std::string& hostPath);
// Removes a file or a folder with everything in it; ENOENT when nothing stands there.
int removeAll(const std::string& hostPath);
// Makes a folder; with `parents`, the missing folders above it too (EEXIST is no failure then
// when a folder stands there).
int makeFolder(const std::string& hostPath, bool parents);

// Writes a whole file: made exclusively or emptied, written and closed; on failure the file it
// made is removed again.
int writeFile(const std::string& hostPath, const void* bytes, size_t size, bool exclusive);

// "no space left on device" and the like: strerror's text, lower-cased at the start.
std::string describe(int error);

}  // namespace device::files
