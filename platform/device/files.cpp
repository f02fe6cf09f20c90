#include "device/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "device/device.h"

namespace device::files {
namespace {

namespace fs = std::filesystem;

struct State {
  std::atomic<bool> diskFull{false}, renameFails{false}, removeFails{false};
  std::atomic<uint64_t> effects{0};
  std::mutex watcherLock;
  Watcher watcher;
};

State& state() {
  static State* s = new State;  // never destroyed: worker threads may write while the process ends
  return *s;
}

std::atomic<bool>& flag(Fault fault) {
  switch (fault) {
    case Fault::diskFull:
      return state().diskFull;
    case Fault::renameFails:
      return state().renameFails;
    case Fault::removeFails:
      break;
  }
  return state().removeFails;
}

// Counts an effect on `path` and tells the watcher, just before it happens.
void effect(const char* kind, const std::string& path) {
  if (!underRoot(path)) return;
  uint64_t number = ++state().effects;
  Watcher watcher;
  {
    std::lock_guard guard(state().watcherLock);
    watcher = state().watcher;
  }
  if (watcher) watcher(number, kind, path);
}

bool failing(Fault fault, const std::string& path) {
  return flag(fault).load() && underRoot(path);
}

int writeAll(int fd, const char* bytes, size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return 0;
}

}  // namespace

void setFault(Fault fault, bool on) {
  flag(fault).store(on);
}
void clearFaults() {
  for (Fault fault : {Fault::diskFull, Fault::renameFails, Fault::removeFails}) {
    setFault(fault, false);
  }
}
bool faulted(Fault fault) {
  return flag(fault).load();
}

uint64_t effects() {
  return state().effects.load();
}

Watcher watchEffects(Watcher watcher) {
  std::lock_guard guard(state().watcherLock);
  std::swap(state().watcher, watcher);
  return watcher;
}

bool underRoot(const std::string& hostPath) {
  const std::string& root = device::root();
  if (root.empty() || root == "/") return true;
  return hostPath.size() > root.size() && hostPath.compare(0, root.size(), root) == 0 &&
         hostPath[root.size()] == '/';
}

Output::~Output() {
  if (fd_ >= 0) close();
}

int Output::create(const std::string& hostPath, bool exclusive) {
  if (fd_ >= 0) return EBUSY;
  effect("create", hostPath);
  int flags = O_RDWR | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : O_TRUNC);
  int fd = ::open(hostPath.c_str(), flags, 0644);
  if (fd < 0) return errno;
  fd_ = fd;
  path_ = hostPath;
  return 0;
}

int Output::write(const void* bytes, size_t size) {
  if (fd_ < 0) return EBADF;
  if (size == 0) return 0;
  if (failing(Fault::diskFull, path_)) return ENOSPC;
  const char* data = static_cast<const char*>(bytes);
  size_t half = size / 2;
  if (int error = writeAll(fd_, data, half)) return error;
  effect("write", path_);
  return writeAll(fd_, data + half, size - half);
}

int64_t Output::seek(int64_t offset, int whence) {
  if (fd_ < 0) return -EBADF;
  off_t at = ::lseek(fd_, static_cast<off_t>(offset), whence);
  return at < 0 ? -errno : static_cast<int64_t>(at);
}

int64_t Output::read(void* bytes, size_t size) {
  if (fd_ < 0) return -EBADF;
  ssize_t got = ::read(fd_, bytes, size);
  return got < 0 ? -errno : static_cast<int64_t>(got);
}

int64_t Output::size() {
  struct stat facts {};
  if (fd_ < 0) return -EBADF;
  if (::fstat(fd_, &facts) != 0) return -errno;
  return static_cast<int64_t>(facts.st_size);
}

int Output::close() {
  if (fd_ < 0) return EBADF;
  effect("close", path_);
  int fd = fd_;
  fd_ = -1;
  return ::close(fd) == 0 ? 0 : errno;
}

int rename(const std::string& from, const std::string& to, bool replace) {
  if (failing(Fault::renameFails, from) || failing(Fault::renameFails, to)) return EIO;
  effect("rename", to);
  int moved = replace ? ::rename(from.c_str(), to.c_str())
                      : ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
  return moved == 0 ? 0 : errno;
}

int remove(const std::string& hostPath) {
  struct stat facts {};
  if (::lstat(hostPath.c_str(), &facts) != 0) return errno;  // nothing there: nothing to fail
  if (failing(Fault::removeFails, hostPath)) return EIO;
  effect("remove", hostPath);
  int removed = S_ISDIR(facts.st_mode) ? ::rmdir(hostPath.c_str()) : ::unlink(hostPath.c_str());
  return removed == 0 ? 0 : errno;
}

int removeAll(const std::string& hostPath) {
  struct stat facts {};
  if (::lstat(hostPath.c_str(), &facts) != 0) return errno;  // nothing there: nothing to fail
  if (failing(Fault::removeFails, hostPath)) return EIO;
  if (S_ISDIR(facts.st_mode)) {
    std::error_code error;
    std::vector<std::string> inside;
    for (fs::directory_iterator it(hostPath, error), end; !error && it != end;
         it.increment(error)) {
      inside.push_back(it->path().string());
    }
    if (error) return error.value();
    for (const std::string& path : inside) {
      if (int failed = removeAll(path); failed != 0 && failed != ENOENT) return failed;
    }
  }
  return remove(hostPath);
}

int makeFolder(const std::string& hostPath, bool parents) {
  if (parents) {
    fs::path path(hostPath);
    if (path.has_parent_path() && path.parent_path() != path) {
      std::error_code error;
      if (!fs::is_directory(path.parent_path(), error)) {
        if (int failed = makeFolder(path.parent_path().string(), true)) return failed;
      }
    }
    struct stat facts {};
    if (::stat(hostPath.c_str(), &facts) == 0) return S_ISDIR(facts.st_mode) ? 0 : ENOTDIR;
  }
  if (failing(Fault::diskFull, hostPath)) return ENOSPC;
  effect("folder", hostPath);
  return ::mkdir(hostPath.c_str(), 0755) == 0 ? 0 : errno;
}

int writeFile(const std::string& hostPath, const void* bytes, size_t size, bool exclusive) {
  Output file;
  if (int failed = file.create(hostPath, exclusive)) return failed;
  int failed = file.write(bytes, size);
  int closed = file.close();
  if (failed == 0) failed = closed;
  if (failed != 0) remove(hostPath);
  return failed;
}

std::string describe(int error) {
  std::string text = std::strerror(error);
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

}  // namespace device::files
