#include <device/device.h>
#include <sys/sysctl_darwin.h>

#include <cerrno>
#include <cstring>
#include <string>

extern "C" __attribute__((visibility("default"))) int sysctlbyname(const char* name, void* oldp,
                                                                   size_t* oldlenp, void* newp,
                                                                   size_t newlen) {
  if (name == nullptr || std::strcmp(name, "hw.machine") != 0) {
    errno = ENOENT;
    return -1;
  }
  if (newp != nullptr || newlen != 0) {
    errno = EPERM;
    return -1;
  }
  const std::string& value = device::machine();
  if (value.empty()) {
    errno = ENOENT;
    return -1;
  }
  size_t size = value.size() + 1;  // the terminating NUL is part of the value
  if (oldp == nullptr) {
    if (oldlenp != nullptr) *oldlenp = size;
    return 0;
  }
  if (oldlenp == nullptr) {
    errno = EFAULT;
    return -1;
  }
  if (*oldlenp < size) {
    std::memcpy(oldp, value.c_str(), *oldlenp);
    errno = ENOMEM;
    return -1;
  }
  std::memcpy(oldp, value.c_str(), size);
  *oldlenp = size;
  return 0;
}
