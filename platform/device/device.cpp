#include "device/device.h"

#include <atomic>
#include <vector>

namespace device {
namespace {

struct State {
  std::string root;
  std::atomic<int64_t> nowMs{0};  // read by the platform's worker threads too
  bool ringerOn = true;
  std::string machine = "iPhone13,4";
  std::string systemVersion = "14.4";
  std::string mountTable = "/proc/self/mounts";
};

State& state() {
  static State s;
  return s;
}

}  // namespace

void setRoot(const std::string& hostFolder) {
  std::string folder = hostFolder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  state().root = folder;
}
const std::string& root() {
  return state().root;
}

std::string hostPath(const std::string& devicePath) {
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= devicePath.size()) {
    size_t slash = devicePath.find('/', i);
    if (slash == std::string::npos) slash = devicePath.size();
    std::string part = devicePath.substr(i, slash - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = slash + 1;
  }
  std::string path = state().root;
  for (const std::string& part : parts) path += "/" + part;
  return path.empty() ? std::string("/") : path;
}

int64_t nowMs() {
  return state().nowMs.load(std::memory_order_relaxed);
}
void setNowMs(int64_t ms) {
  state().nowMs.store(ms, std::memory_order_relaxed);
}

bool ringerOn() {
  return state().ringerOn;
}
void setRingerOn(bool on) {
  state().ringerOn = on;
}

const std::string& machine() {
  return state().machine;
}
void setMachine(const std::string& identifier) {
  state().machine = identifier;
}

const std::string& systemVersion() {
  return state().systemVersion;
}
void setSystemVersion(const std::string& version) {
  state().systemVersion = version;
}

const std::string& mountTable() {
  return state().mountTable;
}
void setMountTable(const std::string& hostFile) {
  state().mountTable = hostFile;
}

}  // namespace device
