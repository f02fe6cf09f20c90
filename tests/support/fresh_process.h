// Running a test case in a fresh process.
//
// Process-wide state (classes registered in the runtime, hooks installed, once-per-process
// flags, a settings snapshot taken at load) cannot be reset inside a process, and tests never
// reach into the product to reset it. A case that needs a clean process runs its body in a
// forked child: the child starts with an empty journal, runs the body inside an autorelease
// pool, and sends its journal back. Under the sanitizer preset the child also checks itself
// for leaks.
#pragma once

#include <device/journal.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

struct ChildRun {
  std::vector<journal::Entry> journal;  // what the child recorded, in order
  int exitStatus = -1;                  // 0 when the body returned normally
  std::string failure;                  // why the child did not finish, if it did not

  // Entries of one kind, or of several.
  std::vector<journal::Entry> ofKind(const std::string& kind) const;
  std::vector<journal::Entry> ofKinds(const std::vector<std::string>& kinds) const;
};

ChildRun inFreshProcess(const std::function<void()>& body);

// The journal entries without their time, as compact JSON lines: easy to compare and to read
// in a failure message.
std::vector<std::string> lines(const std::vector<journal::Entry>& entries);
std::string withoutTime(const journal::Entry& entry);

}  // namespace testing_support
