#include "held_work.h"

#include <Foundation/dispatch.h>

#include <cstdio>

namespace settings_sim {

void recordPending() {
  for (const dispatch::Waiting& work : dispatch::waiting()) {
    journal::record("pending", {{"number", work.number},
                                {"what", work.what},
                                {"row", work.row ? journal::Entry(*work.row) : journal::Entry()},
                                {"queue", work.queue}});
  }
}

bool runHeld(std::optional<uint64_t> number, std::string& problem) {
  if (!number) {
    dispatch::runAllWaiting();
    return true;
  }
  return dispatch::runWaiting(*number, problem);
}

void leaveWaitingWork() {
  size_t left = dispatch::dropWaiting();
  if (left > 0) journal::record("left-waiting", {{"items", left}});
}

bool printHeldEntry(const journal::Entry& entry) {
  const std::string kind = entry.value("kind", "");
  if (kind == "pending") {
    std::string row = entry["row"].is_string() ? entry["row"].dump() : "(no row)";
    std::printf("%s  %s  %s  (%s)\n", entry["number"].dump().c_str(),
                entry.value("what", "").c_str(), row.c_str(), entry.value("queue", "").c_str());
  } else if (kind == "fault") {
    std::printf("fault %s\n", entry.value("disk", "").c_str());
  } else if (kind == "left-waiting") {
    size_t items = entry.value("items", size_t{0});
    std::printf("the script ends with %zu piece%s of platform work waiting, unrun\n", items,
                items == 1 ? "" : "s");
  } else {
    return false;
  }
  return true;
}

}  // namespace settings_sim
