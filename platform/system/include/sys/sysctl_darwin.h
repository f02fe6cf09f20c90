// sysctlbyname, as <sys/sysctl.h> declares it on the device.
//
// Mirrors: sysctlbyname for "hw.machine", the hardware model identifier ("iPhone13,4").
// Faithful: a null old-value buffer asks for the size (terminating NUL included) in *oldlenp;
// a buffer of that size is filled with the NUL-terminated value; a buffer too small receives
// what fits and the call fails with ENOMEM; the value is read-only (a new value fails with
// EPERM); an unknown name fails with ENOENT. Failures answer -1 and set errno.
// Simplified: "hw.machine" is the only name. Its value is the simulated device's identifier;
// an empty identifier makes the query fail with ENOENT, as a device without the value would.
#pragma once

#include <cstddef>

extern "C" int sysctlbyname(const char* name, void* oldp, size_t* oldlenp, void* newp,
                            size_t newlen);
