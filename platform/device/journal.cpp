#include "device/journal.h"

#include <mutex>

#include "device/device.h"

namespace journal {
namespace {

// Platform work runs on several threads (the main queue, background queues, export workers),
// so every change to the journal takes this lock.
std::mutex& lock() {
  static std::mutex mutex;
  return mutex;
}
std::vector<Entry>& log() {
  static std::vector<Entry> entries;
  return entries;
}
// A pause silences the thread that made it only: the host quiets its own set-up while the
// platform's workers go on recording.
thread_local int pauses = 0;

}  // namespace

void record(const std::string& kind, const Entry& fields) {
  if (!recording()) return;
  Entry entry = Entry::object();
  entry["kind"] = kind;
  for (const auto& [name, value] : fields.items()) entry[name] = value;
  entry["t"] = static_cast<double>(device::nowMs()) / 1000.0;
  std::lock_guard guard(lock());
  log().push_back(std::move(entry));
}

void append(const Entry& entry) {
  std::lock_guard guard(lock());
  log().push_back(entry);
}

const std::vector<Entry>& entries() {
  return log();
}
void clear() {
  std::lock_guard guard(lock());
  log().clear();
}

Pause::Pause() {
  ++pauses;
}
Pause::~Pause() {
  --pauses;
}
bool recording() {
  return pauses == 0;
}

}  // namespace journal
