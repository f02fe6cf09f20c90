// ZELPreferenceController hiding the runs of off switches in a long row list.
//
// The list comes in blocks of ten rows: an outer switch owning the nine rows after it, a middle
// switch inside it owning five, an inner switch inside that owning two, and a fourth switch
// owning the last two rows of the block; so owners nest three deep and four rows in ten are
// owners. Every other owner is stored off. Each iteration hands a fresh copy of the full list
// to applyModificationsToSpecifiers:, as the Settings application does when it opens the pane.
// The owners share at most 1,000 keys, so that writing and first reading the domain stays quick
// (a read costs the same whatever the domain holds).
//
//   BM_ApplyModifications/10000    the list of 10,000 rows
//   BM_ApplyModifications/...      other lengths, to show the cost grows linearly
#include <Foundation/ObjectState.h>
#include <Preferences/Preferences.h>
#include <benchmark/benchmark.h>
#include <device/device.h>
#include <pkprefs3/ZELPreferenceController.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

constexpr const char* kDomain = "com.plinka.bench";
constexpr int kKeys = 1000;

struct Fixture {
  std::filesystem::path root;
  ns::Ref controller;
  ns::Ref fullList;
  size_t shownAfter = 0;

  explicit Fixture(int rowCount) {
    root = std::filesystem::temp_directory_path() /
           ("plinka-controller-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(root);
    device::setRoot(root.string());
    ns::AutoreleasePool pool;
    controller = ns::Ref::adopt(msgSend(ZELPreferenceController::runtimeClass(), sel("new")));
    std::string stored = "<plist version=\"1.0\"><dict>";
    for (int k = 0; k < kKeys; ++k) {
      stored += "<key>k" + std::to_string(k) + "</key>" + (k % 2 == 0 ? "<true/>" : "<false/>");
    }
    std::filesystem::path domain =
        device::hostPath(std::string("/var/mobile/Library/Preferences/") + kDomain + ".plist");
    std::filesystem::create_directories(domain.parent_path());
    std::ofstream(domain) << stored << "</dict></plist>";

    std::vector<id> rows;
    int owner = 0;
    for (int i = 0; i < rowCount; ++i) {
      int inBlock = i % 10;
      int count = inBlock == 0 ? 9 : inBlock == 1 ? 5 : inBlock == 2 ? 2 : inBlock == 7 ? 2 : -1;
      std::string label = "row " + std::to_string(i);
      PSCellType cell = count >= 0 ? PSSwitchCell : PSStaticTextCell;
      id row = msgSend(objc_getClass("PSSpecifier"),
                       sel("preferenceSpecifierNamed:target:set:get:detail:cell:edit:"),
                       ns::string(label), controller.get(), sel("setPreferenceValue:specifier:"),
                       sel("readPreferenceValue:"), Class{Nil}, cell, Class{Nil});
      id properties = ns::dictionary();
      ns::setValue(properties, "label", ns::string(label));
      if (count >= 0) {
        // Keys alternate between the on and the off ones.
        std::string key = "k" + std::to_string(owner++ % kKeys);
        ns::setValue(properties, "cell", ns::string("PSSwitchCell"));
        ns::setValue(properties, "key", ns::string(key));
        ns::setValue(properties, "defaults", ns::string(kDomain));
        ns::setValue(properties, "nestedEntryCount", ns::integerNumber(count));
      } else {
        ns::setValue(properties, "cell", ns::string("PSStaticTextCell"));
      }
      msgSend<void>(row, sel("setProperties:"), properties);
      rows.push_back(row);
    }
    fullList = ns::Ref(ns::array(rows));
  }
  ~Fixture() {
    controller = ns::Ref();
    fullList = ns::Ref();
    std::error_code error;
    std::filesystem::remove_all(root, error);
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
  state.SetComplexityN(state.range(0));
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

}  // namespace

BENCHMARK_MAIN();
