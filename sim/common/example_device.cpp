#include "example_device.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "build_paths.h"

namespace sim {
namespace fs = std::filesystem;
namespace {

constexpr const char* kPrefix = "plinka-device-";

fs::path besideProgram(const char* relative, const char* fallback) {
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (!error) {
    fs::path candidate = self.parent_path().parent_path() / relative;
    if (fs::exists(candidate, error)) return candidate;
  }
  return fallback;
}

// --- removal from a signal handler --------------------------------------------------------
//
// Only system calls here: the handler may interrupt anything, the allocator included.

char gPath[4096];  // the temporary device of this process; empty when none
pid_t gOwner = 0;  // the process that made it (forked children leave it alone)
const int kSignals[] = {SIGINT, SIGTERM, SIGPIPE, SIGHUP, SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL};

void removeTreeAt(int parent, const char* name);

// The kernel's directory entry, as getdents64 fills it.
struct DirectoryEntry {
  ino64_t inode;
  off64_t next;
  unsigned short length;
  unsigned char type;
  char name[];
};

void removeContents(int folder) {
  alignas(8) char buffer[4096];
  for (;;) {
    long size = syscall(SYS_getdents64, folder, buffer, sizeof buffer);
    if (size <= 0) break;
    for (long at = 0; at < size;) {
      const auto* entry = reinterpret_cast<const DirectoryEntry*>(buffer + at);
      at += entry->length;
      if (std::strcmp(entry->name, ".") == 0 || std::strcmp(entry->name, "..") == 0) continue;
      removeTreeAt(folder, entry->name);
    }
  }
  close(folder);
}

void removeTreeAt(int parent, const char* name) {
  if (unlinkat(parent, name, 0) == 0) return;
  int folder = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folder < 0) return;
  removeContents(folder);
  unlinkat(parent, name, AT_REMOVEDIR);
}

void removeOnSignal(int signal) {
  int saved = errno;
  if (gPath[0] != '\0' && getpid() == gOwner) {
    removeTreeAt(AT_FDCWD, gPath);
    gPath[0] = '\0';
  }
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  sigaction(signal, &byDefault, nullptr);
  errno = saved;
  raise(signal);  // delivered when the handler returns: the process ends as the signal says
}

void removeOnSignals(const fs::path& path) {
  std::string text = path.string();
  if (text.size() >= sizeof gPath) return;
  std::memcpy(gPath, text.c_str(), text.size() + 1);
  gOwner = getpid();
  struct sigaction action {};
  action.sa_handler = removeOnSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : kSignals) {
    struct sigaction before {};
    sigaction(signal, nullptr, &before);
    if (before.sa_handler == SIG_IGN && signal != SIGPIPE) continue;  // nohup and the like
    sigaction(signal, &action, nullptr);
  }
}

void forgetOnSignals() {
  gPath[0] = '\0';
}

// Temporary devices of processes that no longer run.
void sweepStale(const fs::path& folder) {
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    std::string name = entry.path().filename().string();
    if (!name.starts_with(kPrefix)) continue;
    char* end = nullptr;
    long pid = std::strtol(name.c_str() + std::strlen(kPrefix), &end, 10);
    if (pid <= 0 || end == nullptr || *end != '-') continue;
    if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    struct stat info {};
    if (lstat(entry.path().c_str(), &info) != 0 || info.st_uid != getuid()) continue;
    std::error_code ignored;
    fs::remove_all(entry.path(), ignored);
  }
}

}  // namespace

fs::path exampleDevice() {
  return besideProgram("examples/device", plinka_build::kExampleDevice);
}
fs::path tweakFolder() {
  return besideProgram("DynamicLibraries", plinka_build::kTweakDir);
}

bool TemporaryDevice::make(std::string& error) {
  fs::path example = exampleDevice();
  if (!fs::is_directory(example)) {
    error = "the example device is missing at " + example.string() + " (build the project first)";
    return false;
  }
  return make(example, error);
}

bool TemporaryDevice::make(const fs::path& source, std::string& error) {
  fs::path temporary = fs::temp_directory_path();
  sweepStale(temporary);
  std::string pattern = (temporary / (kPrefix + std::to_string(getpid()) + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) {
    error = "cannot make a temporary device root in " + temporary.string();
    return false;
  }
  path_ = pattern;
  removeOnSignals(path_);
  std::error_code failure;
  fs::copy(source, path_, fs::copy_options::recursive, failure);
  if (failure) {
    error = "cannot copy the device " + source.string() + ": " + failure.message();
    return false;
  }
  return true;
}

TemporaryDevice::~TemporaryDevice() {
  std::error_code ignored;
  if (path_.empty()) return;
  forgetOnSignals();
  fs::remove_all(path_, ignored);
}

}  // namespace sim
