// ZELPreferenceController hiding the runs of off switches in a long row list, and the whole
// settings pane opened on such a list.
//
// The list comes in blocks of ten rows: an outer switch owning the nine rows after it, a middle
// switch inside it owning five, an inner switch inside that owning two, and a fourth switch
// owning the last two rows of the block; so owners nest three deep and four rows in ten are
// owners. Every other owner is stored off. The owners share at most 1,000 keys, so that writing
// and first reading the domain stays quick (a read costs the same whatever the domain holds).
// The texts every row repeats (attribute names, cell classes, the domain) are one string each,
// as the property-list reader makes them; labels and key names are each row's own.
//
//   BM_ApplyModifications/N  applyModificationsToSpecifiers: on a fresh copy of the full list of
//                            N rows, as the Settings application calls it when it opens the pane
//   BM_OpenPane/N            the whole pane opened by a fresh controller with nothing else to
//                            do: the row list read from its binary Root.plist into rows, then
//                            shown (the list passes through applyModificationsToSpecifiers:, the
//                            domain is read again); no cells are made
//
// Each reports `per_row`, the time divided by the rows, so that a cost growing faster than the
// list shows at a glance.
#include <Foundation/ObjectState.h>
#include <Preferences/Preferences.h>
#include <benchmark/benchmark.h>
#include <device/device.h>
#include <pkprefs3/ZELPreferenceController.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace {

namespace fs = std::filesystem;

constexpr const char* kDomain = "com.plinka.bench";
constexpr int kKeys = 1000;

// A scratch device root for the whole run, with the domain's values stored; removed at exit.
struct Device {
  fs::path root;
  Device() {
    root = fs::temp_directory_path() / ("plinka-controller-bench-" + std::to_string(getpid()));
    fs::create_directories(root);
    device::setRoot(root.string());
    std::string stored = "<plist version=\"1.0\"><dict>";
    for (int k = 0; k < kKeys; ++k) {
      stored += "<key>k" + std::to_string(k) + "</key>" + (k % 2 == 0 ? "<true/>" : "<false/>");
    }
    fs::path domain =
        device::hostPath(std::string("/var/mobile/Library/Preferences/") + kDomain + ".plist");
    fs::create_directories(domain.parent_path());
    std::ofstream(domain) << stored << "</dict></plist>";
  }
  ~Device() {
    std::error_code error;
    fs::remove_all(root, error);
  }
};
const Device& benchDevice() {
  static Device device;
  return device;
}

// The string `text` as the platform's property-list reader makes a text that every row
// repeats (an attribute name, a cell class, a domain): one object for the whole list.
id sharedText(const char* text) {
  static std::map<std::string, ns::Ref> shared;
  ns::Ref& string = shared[text];
  if (!string) string = ns::Ref(ns::string(text));
  return string.get();
}

// The attributes of row `i` of the list; `owner` counts the owners met so far.
id rowAttributes(int i, int& owner) {
  int inBlock = i % 10;
  int count = inBlock == 0 ? 9 : inBlock == 1 ? 5 : inBlock == 2 ? 2 : inBlock == 7 ? 2 : -1;
  id properties = ns::dictionary();
  auto set = [&](const char* name, id value) {
    msgSend<void>(properties, sel("setObject:forKey:"), value, sharedText(name));
  };
  set("label", ns::string("row " + std::to_string(i)));
  if (count >= 0) {
    // Keys alternate between the on and the off ones.
    set("cell", sharedText("PSSwitchCell"));
    set("key", ns::string("k" + std::to_string(owner++ % kKeys)));
    set("defaults", sharedText(kDomain));
    set("nestedEntryCount", ns::integerNumber(count));
  } else {
    set("cell", sharedText("PSStaticTextCell"));
  }
  return properties;
}

void reportPerRow(benchmark::State& state) {
  state.SetComplexityN(state.range(0));
  state.counters["per_row"] = benchmark::Counter(
      static_cast<double>(state.range(0)),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

struct Fixture {
  ns::Ref controller;
  ns::Ref fullList;
  size_t shownAfter = 0;

  explicit Fixture(int rowCount) {
    benchDevice();
    ns::AutoreleasePool pool;
    controller = ns::Ref::adopt(msgSend(ZELPreferenceController::runtimeClass(), sel("new")));
    std::vector<id> rows;
    int owner = 0;
    for (int i = 0; i < rowCount; ++i) {
      id properties = rowAttributes(i, owner);
      id label = ns::valueFor(properties, "label");
      PSCellType cell =
          ns::valueFor(properties, "nestedEntryCount") != nil ? PSSwitchCell : PSStaticTextCell;
      id row = msgSend(objc_getClass("PSSpecifier"),
                       sel("preferenceSpecifierNamed:target:set:get:detail:cell:edit:"), label,
                       controller.get(), sel("setPreferenceValue:specifier:"),
                       sel("readPreferenceValue:"), Class{Nil}, cell, Class{Nil});
      msgSend<void>(row, sel("setProperties:"), properties);
      rows.push_back(row);
    }
    fullList = ns::Ref(ns::array(rows));
  }
};

void BM_ApplyModifications(benchmark::State& state) {
  Fixture fixture(static_cast<int>(state.range(0)));
  {
    // The first read of the domain loads its file; the pane reads it again each time it opens.
    ns::AutoreleasePool pool;
    id rows = ns::autorelease(msgSend(fixture.fullList.get(), sel("mutableCopy")));
    msgSend<void>(fixture.controller.get(), sel("applyModificationsToSpecifiers:"), rows);
  }
  for (auto _ : state) {
    state.PauseTiming();
    id rows = msgSend(fixture.fullList.get(), sel("mutableCopy"));
    state.ResumeTiming();
    {
      ns::AutoreleasePool pool;
      msgSend<void>(fixture.controller.get(), sel("applyModificationsToSpecifiers:"), rows);
    }
    state.PauseTiming();
    fixture.shownAfter = msgSend<NSUInteger>(rows, sel("count"));
    ns::release(rows);
    state.ResumeTiming();
  }
  reportPerRow(state);
  state.counters["shown"] = static_cast<double>(fixture.shownAfter);
}
BENCHMARK(BM_ApplyModifications)
    ->Arg(10000)
    ->Arg(2500)
    ->Arg(5000)
    ->Arg(20000)
    ->Arg(40000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// The binary Root.plist of `rowCount` rows, written once per run.
const std::string& rowListFile(int rowCount) {
  static std::map<int, std::string> written;
  auto found = written.find(rowCount);
  if (found != written.end()) return found->second;
  ns::AutoreleasePool pool;
  std::vector<id> items;
  int owner = 0;
  for (int i = 0; i < rowCount; ++i) items.push_back(rowAttributes(i, owner));
  id root = ns::dictionary();
  ns::setValue(root, "title", ns::string("Bench"));
  ns::setValue(root, "items", ns::array(items));
  std::string path =
      (benchDevice().root / ("Root-" + std::to_string(rowCount) + ".plist")).string();
  if (!ns::writePlist(path, root, true)) path.clear();
  return written.emplace(rowCount, path).first->second;
}

void BM_OpenPane(benchmark::State& state) {
  const std::string& rowList = rowListFile(static_cast<int>(state.range(0)));
  if (rowList.empty()) {
    state.SkipWithError("cannot write the row list");
    return;
  }
  size_t shown = 0;
  for (auto _ : state) {
    // Each opening gets a fresh controller, as the Settings application makes one each time the
    // user enters the pane; the one before is closed untimed, so every opening does the same.
    state.PauseTiming();
    ns::Ref controller =
        ns::Ref::adopt(msgSend(ZELPreferenceController::runtimeClass(), sel("new")));
    state.ResumeTiming();
    bool opened = false;
    std::string problem;
    {
      ns::AutoreleasePool pool;
      opened = preferences::showRowList(controller, rowList, &problem);
    }
    state.PauseTiming();
    if (!opened) {
      state.SkipWithError(problem.c_str());
      return;
    }
    shown = msgSend<NSUInteger>(msgSend(controller.get(), sel("specifiers")), sel("count"));
    msgSend<void>(controller.get(), sel("setSpecifiers:"), id{nil});
    controller = ns::Ref();
    state.ResumeTiming();
  }
  reportPerRow(state);
  state.counters["shown"] = static_cast<double>(shown);
}
BENCHMARK(BM_OpenPane)
    ->Arg(5000)
    ->Arg(20000)
    ->Arg(80000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
