#include "device/journal.h"

#include "device/device.h"

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

}  // namespace

void record(const std::string& kind, const Entry& fields) {
  if (!recording()) return;
  Entry entry = Entry::object();
  entry["kind"] = kind;
  for (const auto& [name, value] : fields.items()) entry[name] = value;
  entry["t"] = static_cast<double>(device::nowMs()) / 1000.0;
  keep(std::move(entry));
}

void append(const Entry& entry) {
  keep(entry);
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
