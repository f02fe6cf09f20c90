#include "fresh_process.h"

#include <Foundation/Foundation.h>

#include "child_process.h"

namespace testing_support {

std::vector<journal::Entry> ChildRun::ofKind(const std::string& kind) const {
  return ofKinds({kind});
}

std::vector<journal::Entry> ChildRun::ofKinds(const std::vector<std::string>& kinds) const {
  std::vector<journal::Entry> found;
  for (const journal::Entry& entry : journal) {
    for (const std::string& kind : kinds) {
      if (entry["kind"] == kind) found.push_back(entry);
    }
  }
  return found;
}

ChildRun inFreshProcess(const std::function<void()>& body) {
  ChildRun run;
  child_process::Outcome outcome = child_process::run(
      [&body](child_process::LineWriter& out) {
        journal::clear();
        {
          ns::AutoreleasePool pool;
          body();
        }
        for (const journal::Entry& entry : journal::entries()) out.line(entry.dump());
        journal::clear();  // before the leak check: the journal is not a leak
        return 0;
      },
      [&run](const std::string& line) {
        if (!line.empty()) run.journal.push_back(journal::Entry::parse(line));
      });
  if (!outcome.started()) {
    run.failure = outcome.startError;
  } else {
    run.exitStatus = outcome.exited ? outcome.exitStatus : -1;
    std::string how = child_process::describe(outcome);
    if (!how.empty()) run.failure = "the child " + how;
  }
  return run;
}

std::string withoutTime(const journal::Entry& entry) {
  journal::Entry copy = entry;
  copy.erase("t");
  return copy.dump();
}

std::vector<std::string> lines(const std::vector<journal::Entry>& entries) {
  std::vector<std::string> out;
  for (const journal::Entry& entry : entries) out.push_back(withoutTime(entry));
  return out;
}

}  // namespace testing_support
