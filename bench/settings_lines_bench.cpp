// plinka-sim settings on a long pane: what one script line costs once the pane is open, what
// `show` costs, and the peak memory of a short script against opening the pane alone.
//
// The row list is a binary Root.plist of N rows: a group; the switch "Owner", off, owning the
// 1,000 rows after it (an inner owner of ten among them, off); the plain switch "Plain"; the
// list row "Choice" (PSLinkListCell, three choices); then blocks of ten rows (below) up to N:
// eight rows in ten are shown, each with a cell.
//
// Every figure is plinka-sim as a user runs it (`settings --json --rows ROWS SCRIPT`, its output
// to /dev/null; PLINKA_SIM names another plinka-sim to measure), each run a process of its own,
// measured by the parent: CPU time is the run's user and system time, memory its largest resident
// set. A figure is the median of five runs; the runs of a script and of opening alone (an empty
// script) alternate.
//
//   SettingsLine/owner:N       `set Owner on` and `set Owner off`, five times each
//   SettingsLine/plain:N       `set Plain on` and `set Plain off`, fifty times each
//   SettingsLine/tap_back:N    `tap Choice` and `back`, five times each
//       counters: line_ms, the script's CPU time less opening alone, over its lines;
//       open_ms, opening alone; line_per_open, their ratio (target: at most 2 at 80,000 rows,
//       and line_ms at 80,000 at most 4.5 times line_ms at 20,000)
//   SettingsShow/text:N, SettingsShow/json:N   one `show`, without and with --json
//       counters: show_ms, the script's CPU time less opening alone (target: under 1 s)
//   SettingsMemory/N           the ten lines `set Owner on`, `set Plain on`, `tap Choice`,
//       `back`, `set Owner off`, `tap Choice`, `back`, `set Plain off`, `set Owner on`, `show`
//       with --json, against opening alone with --json
//       counters: peak_MiB, open_MiB, peak_per_open (target: at most 1.5)
#include <Foundation/Foundation.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "build_paths.h"
#include "program_run.h"

namespace {

namespace fs = std::filesystem;

// The plinka-sim measured: this build's, or the one PLINKA_SIM names (another build, to compare).
const std::string kSim = getenv("PLINKA_SIM") != nullptr ? getenv("PLINKA_SIM") : PLINKA_SIM;
constexpr const char* kDomain = "com.plinka.bench";
constexpr int kOwned = 1000;
constexpr int kKeys = 1000;
constexpr int kRuns = 5;

// A scratch folder for the whole run: the row lists, the scripts and a device root per run.
const fs::path& scratch() {
  static bench_support::ScratchFolder folder("plinka-lines-bench");
  static const fs::path path = folder.path;
  return path;
}

id switchRow(const std::string& label, const std::string& key, bool on, int owns) {
  id row = ns::dictionary();
  ns::setValue(row, "cell", ns::string("PSSwitchCell"));
  ns::setValue(row, "label", ns::string(label));
  ns::setValue(row, "key", ns::string(key));
  ns::setValue(row, "defaults", ns::string(kDomain));
  ns::setValue(row, "default", ns::boolNumber(on));
  if (owns >= 0) ns::setValue(row, "nestedEntryCount", ns::integerNumber(owns));
  return row;
}
id staticRow(const std::string& label) {
  id row = ns::dictionary();
  ns::setValue(row, "cell", ns::string("PSStaticTextCell"));
  ns::setValue(row, "label", ns::string(label));
  return row;
}

// Row `i` of a block of ten: a switch, on, owning the nine rows after it; among them a switch,
// off, owning two (hidden), three plain switches (every other one on) and static text, so that
// eight rows in ten are shown. `keys` counts the keys handed out so far.
id blockRow(int i, int& keys) {
  int inBlock = i % 10;
  std::string label = "row " + std::to_string(i);
  auto key = [&] { return "k" + std::to_string(keys++ % kKeys); };
  if (inBlock == 0) return switchRow(label, key(), true, 9);
  if (inBlock == 3) return switchRow(label, key(), false, 2);
  if (inBlock % 2 == 1) return switchRow(label, key(), keys % 2 == 0, -1);
  return staticRow(label);
}

// The row list of `rowCount` rows, written once per run.
const std::string& rowList(int rowCount) {
  static std::map<int, std::string> written;
  auto found = written.find(rowCount);
  if (found != written.end()) return found->second;
  ns::AutoreleasePool pool;
  std::vector<id> items;
  id group = ns::dictionary();
  ns::setValue(group, "cell", ns::string("PSGroupCell"));
  ns::setValue(group, "label", ns::string("Long"));
  items.push_back(group);
  items.push_back(switchRow("Owner", "kOwner", false, kOwned));
  int keys = 0;
  items.push_back(switchRow("Inner", "kInner", false, 10));
  for (int i = 1; i < kOwned; ++i) items.push_back(blockRow(i, keys));
  items.push_back(switchRow("Plain", "kPlain", false, -1));
  id choice = ns::dictionary();
  ns::setValue(choice, "cell", ns::string("PSLinkListCell"));
  ns::setValue(choice, "detail", ns::string("PSListItemsController"));
  ns::setValue(choice, "label", ns::string("Choice"));
  ns::setValue(choice, "key", ns::string("kChoice"));
  ns::setValue(choice, "defaults", ns::string(kDomain));
  ns::setValue(choice, "default", ns::string("a"));
  ns::setValue(choice, "validValues",
               ns::array({ns::string("a"), ns::string("b"), ns::string("c")}));
  ns::setValue(choice, "validTitles",
               ns::array({ns::string("A"), ns::string("B"), ns::string("C")}));
  items.push_back(choice);
  for (int i = static_cast<int>(items.size()); i < rowCount; ++i)
    items.push_back(blockRow(i, keys));
  id root = ns::dictionary();
  ns::setValue(root, "title", ns::string("Long"));
  ns::setValue(root, "items", ns::array(items));
  std::string path = (scratch() / ("Root-" + std::to_string(rowCount) + ".plist")).string();
  if (!ns::writePlist(path, root, true)) path.clear();
  return written.emplace(rowCount, path).first->second;
}

using Run = bench_support::ProgramRun;

// Runs plinka-sim settings on `rows` with `script`, in a fresh device root.
Run runSim(const std::string& rows, const std::string& script, bool json) {
  static int count = 0;
  fs::path dir = scratch() / ("run-" + std::to_string(++count));
  fs::create_directories(dir / "root");
  std::ofstream(dir / "script") << script;
  std::vector<std::string> words = {kSim, "settings", "--device-root", (dir / "root").string()};
  if (json) words.push_back("--json");
  words.insert(words.end(), {"--rows", rows, (dir / "script").string()});
  Run run = bench_support::runProgram(words);
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  return run;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Pair {
  Run script;  // medians of the script's runs
  Run open;    // medians of opening alone
};

// Runs `script` and opening alone in turn, kRuns times each; false, reported, when one failed.
bool measure(benchmark::State& state, const std::string& script, bool json, Pair& out) {
  const std::string& rows = rowList(static_cast<int>(state.range(0)));
  if (rows.empty()) {
    state.SkipWithError("cannot write the row list");
    return false;
  }
  std::vector<double> cpu[2], peak[2];
  for (int i = 0; i < kRuns; ++i) {
    for (int which = 0; which < 2; ++which) {
      Run run = runSim(rows, which == 0 ? script : "", json);
      if (run.cpuSeconds < 0) {
        state.SkipWithError("plinka-sim failed");
        return false;
      }
      cpu[which].push_back(run.cpuSeconds);
      peak[which].push_back(run.peakMiB);
    }
  }
  out.script = {median(cpu[0]), median(peak[0])};
  out.open = {median(cpu[1]), median(peak[1])};
  return true;
}

std::string repeated(const std::string& pair, int times) {
  std::string script;
  for (int i = 0; i < times; ++i) script += pair;
  return script;
}

// The script is `pair` `pairs` times over.
void lineCost(benchmark::State& state, const std::string& pair, int pairs = 5) {
  for (auto _ : state) {
    Pair pairRun;
    if (!measure(state, repeated(pair, pairs), true, pairRun)) return;
    double line = (pairRun.script.cpuSeconds - pairRun.open.cpuSeconds) / (2 * pairs);
    state.SetIterationTime(line);
    state.counters["line_ms"] = line * 1e3;
    state.counters["open_ms"] = pairRun.open.cpuSeconds * 1e3;
    state.counters["line_per_open"] = line / pairRun.open.cpuSeconds;
  }
}

void BM_LineOwner(benchmark::State& state) {
  lineCost(state, "set Owner on\nset Owner off\n");
}
void BM_LinePlain(benchmark::State& state) {
  // A plain line costs too little to tell from how much opening varies in ten: a hundred.
  lineCost(state, "set Plain on\nset Plain off\n", 50);
}
void BM_LineTapBack(benchmark::State& state) {
  lineCost(state, "tap Choice\nback\n");
}

void showCost(benchmark::State& state, bool json) {
  for (auto _ : state) {
    Pair pairRun;
    if (!measure(state, "show\n", json, pairRun)) return;
    double show = pairRun.script.cpuSeconds - pairRun.open.cpuSeconds;
    state.SetIterationTime(show);
    state.counters["show_ms"] = show * 1e3;
    state.counters["open_ms"] = pairRun.open.cpuSeconds * 1e3;
  }
}
void BM_ShowText(benchmark::State& state) {
  showCost(state, false);
}
void BM_ShowJson(benchmark::State& state) {
  showCost(state, true);
}

void BM_Memory(benchmark::State& state) {
  const std::string script =
      "set Owner on\nset Plain on\ntap Choice\nback\nset Owner off\ntap Choice\nback\n"
      "set Plain off\nset Owner on\nshow\n";
  for (auto _ : state) {
    Pair pairRun;
    if (!measure(state, script, true, pairRun)) return;
    state.SetIterationTime(pairRun.script.cpuSeconds);
    state.counters["peak_MiB"] = pairRun.script.peakMiB;
    state.counters["open_MiB"] = pairRun.open.peakMiB;
    state.counters["peak_per_open"] = pairRun.script.peakMiB / pairRun.open.peakMiB;
  }
}

#define PLINKA_LONG_PANE(fn, name)                                                         \
  BENCHMARK(fn)->Name(name)->Arg(20000)->Arg(80000)->Iterations(1)->UseManualTime()->Unit( \
      benchmark::kMillisecond)
PLINKA_LONG_PANE(BM_LineOwner, "SettingsLine/owner");
PLINKA_LONG_PANE(BM_LinePlain, "SettingsLine/plain");
PLINKA_LONG_PANE(BM_LineTapBack, "SettingsLine/tap_back");
PLINKA_LONG_PANE(BM_ShowText, "SettingsShow/text");
PLINKA_LONG_PANE(BM_ShowJson, "SettingsShow/json");
PLINKA_LONG_PANE(BM_Memory, "SettingsMemory");
#undef PLINKA_LONG_PANE

}  // namespace

BENCHMARK_MAIN();
