#include "device/journal.h"

#include "device/device.h"
#include "device/utf8.h"

#include <utility>

namespace journal {
namespace {

std::vector<Entry>& log() {
  static std::vector<Entry> entries;
  return entries;
}
Sink& sink() {
  static Sink current;
  return current;
}
void keep(Entry entry) {
  if (sink()) {
    sink()(entry);
  } else {
    log().push_back(std::move(entry));
  }
}
int& pauses() {
  static int depth = 0;
  return depth;
}

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

void record(const std::string& kind, const Entry& fields) {
  if (!recording()) return;
  Entry entry = Entry::object();
  entry["kind"] = kind;
  for (const auto& [name, value] : fields.items()) entry[name] = value;
  entry["t"] = static_cast<double>(device::nowMs()) / 1000.0;
  repairText(entry);
  keep(std::move(entry));
}

void append(const Entry& entry) {
  Entry repaired = entry;
  repairText(repaired);
  keep(std::move(repaired));
}

Sink exchangeSink(Sink next) {
  return std::exchange(sink(), std::move(next));
}

const std::vector<Entry>& entries() {
  return log();
}
void clear() {
  log().clear();
}

Pause::Pause() {
  ++pauses();
}
Pause::~Pause() {
  --pauses();
}
bool recording() {
  return pauses() == 0;
}

}  // namespace journal
