#include "device/journal.h"

#include <mutex>

#include "device/device.h"
#include "device/utf8.h"

#include <utility>

namespace journal {
namespace {

// Platform work runs on several threads (the main queue, background queues, export workers),
// so every change to the journal takes this lock.
std::recursive_mutex& lock() {
  static std::recursive_mutex mutex;
  return mutex;
}
std::vector<Entry>& log() {
  static std::vector<Entry> entries;
  return entries;
}
Sink& sink() {
  static Sink current;
  return current;
}
// Called with lock() held.
void keep(Entry entry) {
  if (sink()) {
    sink()(entry);
  } else {
    log().push_back(std::move(entry));
  }
}
// A pause silences the thread that made it only: the host quiets its own set-up while the
// platform's workers go on recording.
thread_local int pauses = 0;

// Makes every string of `value`, object keys included, well-formed UTF-8, in place: an entry
// can carry any bytes the platform was handed (a file name, a scenario's text), and JSON cannot.
void repairText(Entry& value) {
  if (value.is_string()) {
    auto& text = value.get_ref<std::string&>();
    if (!utf8::isWellFormed(text)) text = utf8::repaired(text);
  } else if (value.is_array()) {
    for (Entry& item : value) repairText(item);
  } else if (value.is_object()) {
    bool keysWellFormed = true;
    for (auto it = value.begin(); it != value.end(); ++it) {
      keysWellFormed = keysWellFormed && utf8::isWellFormed(it.key());
      repairText(it.value());
    }
    if (keysWellFormed) return;
    Entry repaired = Entry::object();
    for (auto it = value.begin(); it != value.end(); ++it) {
      repaired[utf8::repaired(it.key())] = std::move(it.value());
    }
    value = std::move(repaired);
  }
}

}  // namespace

Entry made(const std::string& kind, const Entry& fields) {
  Entry entry = Entry::object();
  entry["kind"] = kind;
  for (const auto& [name, value] : fields.items()) entry[name] = value;
  entry["t"] = static_cast<double>(device::nowMs()) / 1000.0;
  repairText(entry);
  return entry;
}

void repair(Entry& value) {
  repairText(value);
}

void record(const std::string& kind, const Entry& fields) {
  if (!recording()) return;
  Entry entry = made(kind, fields);
  std::lock_guard guard(lock());
  keep(std::move(entry));
}

void append(const Entry& entry) {
  Entry repaired = entry;
  repairText(repaired);
  std::lock_guard guard(lock());
  keep(std::move(repaired));
}

Sink exchangeSink(Sink next) {
  std::lock_guard guard(lock());
  return std::exchange(sink(), std::move(next));
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
