#include "disk_faults.h"

#include <device/files.h>

namespace sim {

const char* const kDiskFaultUsage = "fault disk full|rename fails|remove fails|disk ok";

bool isDiskFault(const std::vector<std::string>& words) {
  return !words.empty() && (words[0] == "disk" || words[0] == "rename" || words[0] == "remove");
}

std::optional<unsigned> parseDiskFault(const std::vector<std::string>& words, unsigned before,
                                       std::string& problem) {
  if (words.size() == 2) {
    if (words[0] == "disk" && words[1] == "full") return before | kDiskFull;
    if (words[0] == "rename" && words[1] == "fails") return before | kRenameFails;
    if (words[0] == "remove" && words[1] == "fails") return before | kRemoveFails;
    if (words[0] == "disk" && words[1] == "ok") return 0u;
  }
  std::string given;
  for (const std::string& word : words) given += (given.empty() ? "" : " ") + word;
  problem = "unknown fault '" + given + "': " + kDiskFaultUsage;
  return std::nullopt;
}

unsigned diskFaults() {
  using device::files::Fault;
  return (device::files::faulted(Fault::diskFull) ? kDiskFull : 0u) |
         (device::files::faulted(Fault::renameFails) ? kRenameFails : 0u) |
         (device::files::faulted(Fault::removeFails) ? kRemoveFails : 0u);
}

void setDiskFaults(unsigned faults) {
  using device::files::Fault;
  device::files::setFault(Fault::diskFull, (faults & kDiskFull) != 0);
  device::files::setFault(Fault::renameFails, (faults & kRenameFails) != 0);
  device::files::setFault(Fault::removeFails, (faults & kRemoveFails) != 0);
}

}  // namespace sim
