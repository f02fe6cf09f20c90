// arc4random for C libraries that lack it (glibc before 2.36): uniform 32-bit values from the
// kernel's random source, as on the device.
#include <sys/random.h>

#include <cstdint>

extern "C" __attribute__((visibility("default"))) uint32_t arc4random(void) {
  uint32_t value = 0;
  while (getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) {
  }
  return value;
}
