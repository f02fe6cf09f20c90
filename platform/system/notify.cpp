#include <device/journal.h>
#include <notify.h>

extern "C" __attribute__((visibility("default"))) uint32_t notify_post(const char* name) {
  if (name == nullptr) return NOTIFY_STATUS_INVALID_NAME;
  journal::record("notify", {{"name", name}});
  return NOTIFY_STATUS_OK;
}
