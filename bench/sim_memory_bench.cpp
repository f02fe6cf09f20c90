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
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

const std::string kSim = PLINKA_BUILD_DIR "/bin/plinka-sim";

struct Scratch {
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "plinka-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path = pattern;
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  std::string path;
};

// Runs plinka-sim on `scenario` with `args`; the peak resident set in KiB, -1 when it failed.
long peakKiB(const std::string& scenario, const std::vector<std::string>& args) {
  Scratch scratch;
  std::string input = scratch.path + "/session.scenario";
  std::ofstream(input) << scenario;
  int report[2];
  if (pipe(report) != 0) return -1;
  pid_t helper = fork();
  if (helper == 0) {
    close(report[0]);
    pid_t child = fork();
    if (child == 0) {
      std::vector<std::string> words = {kSim, "springboard"};
      words.insert(words.end(), args.begin(), args.end());
      words.push_back(input);
      std::vector<char*> argv;
      for (std::string& word : words) argv.push_back(word.data());
      argv.push_back(nullptr);
      if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
      execv(kSim.c_str(), argv.data());
      _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    long peak = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
    _exit(write(report[1], &peak, sizeof peak) == sizeof peak ? 0 : 1);
  }
  close(report[1]);
  long peak = -1;
  if (read(report[0], &peak, sizeof peak) != sizeof peak) peak = -1;
  close(report[0]);
  int status = 0;
  waitpid(helper, &status, 0);
  return peak;
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
  Scratch output;
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
