#include "device/journal.h"

#include "device/device.h"

namespace journal {
namespace {

std::vector<Entry>& log() {
  static std::vector<Entry> entries;
  return entries;
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
  log().push_back(std::move(entry));
}

void append(const Entry& entry) {
  log().push_back(entry);
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
