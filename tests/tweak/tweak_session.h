// Running scenarios against Plinka3.so on a device made for one test.
#pragma once

#include <device/journal.h>

#include <string>
#include <vector>

#include "session.h"
#include "temporary_folder.h"

namespace tweak_test {

// A device root in a fresh temporary folder, removed afterwards: the sound bundle holds one
// playable file per event, "<Event>/<event>.wav" ("Charge/charge.wav", ...).
class TestDevice {
 public:
  TestDevice();
  TestDevice(const TestDevice&) = delete;
  TestDevice& operator=(const TestDevice&) = delete;

  const std::string& root() const { return root_; }
  std::string hostPath(const std::string& devicePath) const { return root_ + devicePath; }
  void writeFile(const std::string& devicePath, const std::string& bytes) const;
  std::string readFile(const std::string& devicePath) const;

 private:
  testing_support::TemporaryFolder folder_;
  const std::string& root_ = folder_.path();
};

constexpr const char* kSettingsFile = "/var/mobile/Library/Preferences/com.plinka.plinka3.plist";

// Settings lines: the product on, every event's switch on, every sound named.
std::string everythingOn();

// A boolean as a settings line writes it.
inline const char* yesNo(bool b) {
  return b ? "true" : "false";
}

struct Run {
  std::vector<journal::Entry> journal;
  int status = 0;
  std::string error;

  std::vector<journal::Entry> ofKind(const std::string& kind) const;
  // What was heard, in order: the event of a file ("Charge", "Keyboard", ...), the number of a
  // built-in sound ("1521", "1106" the stock chime, "1100" the stock lock sound); silent plays
  // are left out.
  std::vector<std::string> heard() const;
  // The host implementations that ran, as "-[Class selector]".
  std::vector<std::string> stock() const;
  // Journal kinds in order, leaving out the given ones.
  std::vector<std::string> kinds() const;
  // Entries after the last entry of `kind` (the last "user" action, the last "call", ...).
  Run after(const std::string& kind) const;
};

Run run(const std::string& scenario, const TestDevice& device);

}  // namespace tweak_test
