#include "journal_printer.h"

#include <cstdio>
#include <set>

#include "held_work.h"
#include "picker.h"
#include "row_text.h"

namespace settings_sim {
namespace {

// The readable lines of the entries that cells and URLs make; false for any other kind.
bool printCellEntry(const journal::Entry& entry) {
  const std::string kind = entry.value("kind", "");
  auto url = [&](const char* field) {
    return entry[field].is_string() ? entry[field].get<std::string>() : std::string("(no URL)");
  };
  if (kind == "cell") {
    // The framework's own cells are made for every row: only the rows' own classes are news.
    static const std::set<std::string> kFramework = {"PSTableCell", "PSSwitchTableCell",
                                                     "PSSegmentTableCell", "PSSliderTableCell",
                                                     "PSEditableTableCell"};
    if (entry["class"].is_string() && kFramework.count(entry["class"].get<std::string>()) != 0)
      return true;
    std::printf("cell %s: %s (style %s)\n", nameText(entry["row"]).c_str(),
                entry["class"].get<std::string>().c_str(), entry["style"].dump().c_str());
  } else if (kind == "unknown-cell-class") {
    std::printf("cell %s: no cell class %s (%s), the framework's cell instead\n",
                nameText(entry["row"]).c_str(), entry["class"].get<std::string>().c_str(),
                entry["reason"].get<std::string>().c_str());
  } else if (kind == "unknown-cell-type") {
    std::printf("cell %s: no cell type %s (%s), a plain row\n", nameText(entry["row"]).c_str(),
                entry["cell"].is_string() ? entry["cell"].get<std::string>().c_str() : "(none)",
                entry["reason"].get<std::string>().c_str());
  } else if (kind == "select") {
    std::printf("%s %s%s\n", entry["selected"] == true ? "select" : "deselect",
                nameText(entry["row"]).c_str(), entry["animated"] == true ? " (animated)" : "");
  } else if (kind == "can-open") {
    std::printf("can-open %s: %s\n", url("url").c_str(), entry["answer"] == true ? "yes" : "no");
  } else if (kind == "open-url") {
    std::printf("open %s\n", url("url").c_str());
  } else {
    return false;
  }
  return true;
}

}  // namespace

void JournalPrinter::printTitle(const std::vector<std::string>& page) const {
  // The page's path, from the pane's title to the page on top: Plinka › Charge sound.
  std::string path;
  for (const std::string& title : page) {
    if (!title.empty()) path += (path.empty() ? "" : " \u203a ") + title;
  }
  if (!path.empty()) std::printf("%s\n", path.c_str());
}

void JournalPrinter::printRow(const journal::Entry& row, int depth) const {
  std::string indent(static_cast<size_t>(2 * (depth + 1)), ' ');
  std::string label = row["label"].is_string() ? row["label"].get<std::string>()
                      : row["key"].is_string() ? row["key"].get<std::string>()
                                               : "";
  if (row["cell"] == "PSGroupCell") {
    // An untitled group (a list page's) is a bare rule.
    std::printf("%s==%s\n", indent.c_str(), label.empty() ? "" : (" " + label + " ==").c_str());
  } else if (row["value"].is_null()) {
    std::printf("%s%s%s\n", indent.c_str(), label.c_str(), cellText(row).c_str());
  } else {
    std::printf("%s%s: %s%s\n", indent.c_str(), label.c_str(), text(row["value"]).c_str(),
                cellText(row).c_str());
  }
}

void JournalPrinter::print(const journal::Entry& entry) {
  const std::string kind = entry.value("kind", "");
  if (kind == "store") {
    std::string key = entry["key"].is_string() ? entry["key"].get<std::string>() : "no key";
    std::printf("store %s (%s) = %s\n", nameText(entry["row"]).c_str(), key.c_str(),
                text(entry["value"]).c_str());
  } else if (kind == "insert") {
    std::printf("insert after %s: %s\n", nameText(entry["after"]).c_str(),
                namesText(entry["rows"]).c_str());
  } else if (kind == "remove") {
    std::printf("remove %s\n", namesText(entry["rows"]).c_str());
  } else if (kind == "push" || kind == "pop") {
    std::printf("%s %s \"%s\"\n", kind.c_str(), entry.value("controller", "").c_str(),
                entry.value("title", "").c_str());
  } else if (kind == "push-refused") {
    std::printf("push refused for %s: detail %s (%s)\n", nameText(entry["row"]).c_str(),
                entry.value("class", "").c_str(), entry.value("reason", "").c_str());
  } else if (kind == "reload") {
    std::printf("reload %s\n", nameText(entry["row"]).c_str());
  } else if (kind == "present" && entry.contains("title")) {
    std::printf("present %s \"%s\": %s\n", alertStyleName(entry["style"]),
                entry["title"].get<std::string>().c_str(),
                entry["message"].get<std::string>().c_str());
    for (const json& action : entry["actions"]) {
      std::printf("  [%s] (%s)\n", action["title"].get<std::string>().c_str(),
                  actionStyleName(action["style"]));
    }
  } else if (kind == "store-failed") {
    std::printf("store failed: %s in %s: %s\n", entry.value("key", "").c_str(),
                entry.value("file", "").c_str(), entry.value("reason", "").c_str());
  } else if (kind == "kept-aside") {
    std::printf("kept aside: %s as %s\n", entry.value("file", "").c_str(),
                entry.value("aside", "").c_str());
  } else if (kind == "snapshot") {
    std::string over = entry.value("shows", "") == "page" ? "" : " over";
    std::string items;
    if (entry.contains("items")) {
      size_t count = entry["items"].size();
      items = " (" + std::to_string(count) + (count == 1 ? " item)" : " items)");
    }
    std::printf("snapshot %s: %s%s%s \"%s\", %sx%s\n", entry.value("file", "").c_str(),
                entry.value("shows", "").c_str(), items.c_str(), over.c_str(),
                entry.value("title", "").c_str(), entry["width"].dump().c_str(),
                entry["height"].dump().c_str());
  } else if (printPickEntry(entry)) {
  } else if (printHeldEntry(entry)) {
  } else if (kind == "notify") {
    std::printf("notify %s\n", entry["name"].get<std::string>().c_str());
  } else if (printCellEntry(entry)) {
  } else {
    journal::Entry fields = entry;
    fields.erase("kind");
    fields.erase("t");
    std::printf("%s %s\n", kind.c_str(), fields.dump().c_str());
  }
}

}  // namespace settings_sim
