// A forked child that reports back to its parent in lines over a pipe.
//
// Process-wide state (classes registered in the runtime, hooks installed, a library's
// initialiser) cannot be undone inside a process: the home screen's processes and the tests that
// need a clean process run their work in a child. The child writes lines (text without '\n');
// the parent gets each line as it arrives, in order, then the child's end. Under the sanitizer
// preset a child whose body succeeded checks itself for leaks before it exits.
#pragma once

#include <functional>
#include <string>

namespace child_process {

// What a child writes to its parent: lines, sent in batches; flush() sends what is pending.
class LineWriter {
 public:
  explicit LineWriter(int fd) : fd_(fd) {}
  // Adds one line (without its '\n'); sent once a batch has gathered, or at flush().
  void line(const std::string& text);
  void flush();

 private:
  int fd_;
  std::string pending_;
};

struct Outcome {
  std::string startError;  // why the child could not be started ("" when it was)
  bool exited = false;     // it called exit; else it was killed by `signal`
  int exitStatus = -1;
  int signal = 0;
  bool leaked = false;  // its leak check found leaks (only under the sanitizer)

  bool started() const { return startError.empty(); }
};

// Runs `body` in a forked child and answers how the child ended. The child exits with what
// `body` answers (after a leak check when that is 0), never returning from here; the parent
// calls `onLine` with each line the child writes. Standard streams are flushed before the fork
// so that nothing buffered is written twice.
Outcome run(const std::function<int(LineWriter& out)>& body,
            const std::function<void(const std::string& line)>& onLine);

// "crashed (Segmentation fault)", "leaked memory", "exited with 3", or "" for a clean exit.
std::string describe(const Outcome& outcome);

}  // namespace child_process
