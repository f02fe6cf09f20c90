// arc4random, as <stdlib.h> declares it on the device: a uniformly distributed unsigned 32-bit
// random number. glibc 2.36 and later have it in <stdlib.h>; on older C libraries this
// library provides it over getrandom().
#pragma once

#include <cstdint>
#include <cstdlib>

#if defined(PLINKA_PROVIDES_ARC4RANDOM)
extern "C" uint32_t arc4random(void);
#endif
