// plinka-sim's peak memory against the length of the session it runs.
//
//   SessionMemory/keys:N        `type` with N characters (a custom keyboard sound on each), the
//                               journal printed as JSON to /dev/null
//   SessionMemory/wav_minutes:M a session M minutes long (a lock sound at its start and at its
//                               end, waits between) with --wav
//
// Each run is plinka-sim as a user runs it, in a helper process that waits for it and reports
// the largest resident set of the processes it waited for (plinka-sim and its home-screen
// process). Counters: peak_MiB, the larger of the two. Target: flat, the same from 1,000 to
// 100,000 key presses and from a 1-minute to a 1-hour mix-down.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "build_paths.h"
#include "program_run.h"

namespace {

const std::string kSim = PLINKA_SIM;

// Runs plinka-sim on `scenario` with `args`; the peak resident set in KiB, -1 when it failed.
long peakKiB(const std::string& scenario, const std::vector<std::string>& args) {
  bench_support::ScratchFolder scratch("plinka-bench");
  std::string input = scratch.path + "/session.scenario";
  std::ofstream(input) << scenario;
  std::vector<std::string> words = {kSim, "springboard"};
  words.insert(words.end(), args.begin(), args.end());
  words.push_back(input);
  bench_support::ProgramRun run = bench_support::runProgram(words);
  return run.cpuSeconds < 0 ? -1 : static_cast<long>(run.peakMiB * 1024.0);
}

void reportPeak(benchmark::State& state, const std::string& scenario,
                const std::vector<std::string>& args) {
  long peak = 0;
  for (auto _ : state) {
    long kib = peakKiB(scenario, args);
    if (kib < 0) {
      state.SkipWithError("plinka-sim failed");
      return;
    }
    peak = std::max(peak, kib);
  }
  state.counters["peak_MiB"] = static_cast<double>(peak) / 1024.0;
}

const char* kKeyboardOn = "pref kEnabledPK true\npref kCustomKeyboard true\nlaunch\n";

void BM_KeyPresses(benchmark::State& state) {
  std::string text(static_cast<size_t>(state.range(0)), 'k');
  reportPeak(state, std::string(kKeyboardOn) + "type " + text + "\n", {"--json"});
}
BENCHMARK(BM_KeyPresses)
    ->Name("SessionMemory/keys")
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_MixdownMinutes(benchmark::State& state) {
  bench_support::ScratchFolder output("plinka-bench");
  std::string scenario = "launch\nlock\n";
  for (int64_t seconds = state.range(0) * 60; seconds > 0; seconds -= 600) {
    scenario += "wait " + std::to_string(std::min<int64_t>(seconds, 600)) + "\n";
  }
  scenario += "lock\n";
  reportPeak(state, scenario, {"--wav", output.path + "/session.wav"});
}
BENCHMARK(BM_MixdownMinutes)
    ->Name("SessionMemory/wav_minutes")
    ->Arg(1)
    ->Arg(60)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
