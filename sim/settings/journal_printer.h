// The readable lines of the journal that `plinka-sim settings` prints as the pane makes it.
#pragma once

#include <device/journal.h>

#include <string>
#include <vector>

namespace settings_sim {

class JournalPrinter {
 public:
  explicit JournalPrinter(std::string title) : title_(std::move(title)) {}

  // Prints the entry's readable line(s) on standard output; an entry of a kind without its own
  // form prints as "KIND {fields}".
  void print(const journal::Entry& entry);

  // The readable form of `show`, printed a row at a time: the pane's title (when it has one),
  // then one line per row (a row of the `rows` entry), indented two spaces per run it lies in.
  // The path of the page shown, from the pane to the page on top.
  void printTitle(const std::vector<std::string>& page) const;
  void printRow(const journal::Entry& row, int depth) const;

 private:
  std::string title_;
};

}  // namespace settings_sim
