// The readable lines of the journal that `plinka-sim settings` prints as the pane makes it.
#pragma once

#include <device/journal.h>

#include <deque>
#include <string>
#include <vector>

namespace settings_sim {

class JournalPrinter {
 public:
  explicit JournalPrinter(std::string title) : title_(std::move(title)) {}

  // The nesting depth of each row of the next `rows` entry, in order: given before the entry is
  // made, as it is printed as soon as it is.
  void nextRowDepths(std::vector<int> depths) { depths_.push_back(std::move(depths)); }
  // Prints the entry's readable line(s) on standard output; an entry of a kind without its own
  // form prints as "KIND {fields}".
  void print(const journal::Entry& entry);

 private:
  std::string title_;
  std::deque<std::vector<int>> depths_;
};

}  // namespace settings_sim
