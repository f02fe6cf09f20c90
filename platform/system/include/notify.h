// System-wide notifications, as <notify.h> declares them on the device.
//
// Mirrors: notify_post. Faithful: a null name is refused with NOTIFY_STATUS_INVALID_NAME and
// posts nothing. Simplified: there are no other processes to deliver to; every post is recorded
// in the journal as "notify" {name}, which is how tests and the simulator observe it.
#pragma once

#include <cstdint>

constexpr uint32_t NOTIFY_STATUS_OK = 0;
constexpr uint32_t NOTIFY_STATUS_INVALID_NAME = 1;

extern "C" uint32_t notify_post(const char* name);
