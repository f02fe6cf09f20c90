// The studio's three figures: a springboard line answered over HTTP, the pane's picture at scale
// 2, and a one-second CAF served as WAV the first time. A real studio process serves the first
// two; the third times the conversion the sound endpoint runs, on a fresh file each time.
#include <benchmark/benchmark.h>
#include <device/device.h>
#include <httplib.h>
#include <signal.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "build_paths.h"
#include "device_files.h"
#include "tones.h"

extern "C" char** environ;

namespace {

class Studio {
 public:
  Studio() {
    int out[2];
    if (pipe(out) != 0) std::abort();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::string program = std::string(PLINKA_BUILD_DIR) + "/bin/plinka-sim";
    std::vector<std::string> args = {program, "studio", "--port", "0"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
      std::abort();
    }
    close(out[1]);
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    port = std::stoi(line.substr(line.find("127.0.0.1:") + 10));
    token = line.substr(line.find("#token=") + 7);
    client = std::make_unique<httplib::Client>("127.0.0.1", port);
    client->set_default_headers({{"X-Plinka-Token", token}});
    client->set_keep_alive(true);
    client->set_tcp_nodelay(true);
  }
  ~Studio() {
    client.reset();
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  int port = 0;
  std::string token;
  std::unique_ptr<httplib::Client> client;

 private:
  pid_t pid_ = -1;
};

// Each request is timed; the median goes into the counter "median_ms".
template <typename Request>
void timeEach(benchmark::State& state, Request request) {
  std::vector<double> ms;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    if (!request()) state.SkipWithError("the request failed");
    std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    ms.push_back(took.count());
    state.SetIterationTime(took.count() / 1000);
  }
  std::sort(ms.begin(), ms.end());
  state.counters["median_ms"] = ms.empty() ? 0 : ms[ms.size() / 2];
}

void BM_StudioLockLine(benchmark::State& state) {
  Studio studio;
  timeEach(state, [&] {
    auto answer =
        studio.client->Post("/api/springboard", R"({"line": "lock"})", "application/json");
    return answer && answer->status == 200;
  });
}
BENCHMARK(BM_StudioLockLine)->Iterations(1000)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_StudioScreenPictureScale2(benchmark::State& state) {
  Studio studio;
  studio.client->Get("/api/screen.png?scale=2");  // warm
  timeEach(state, [&] {
    auto picture = studio.client->Get("/api/screen.png?scale=2");
    return picture && picture->status == 200;
  });
}
BENCHMARK(BM_StudioScreenPictureScale2)
    ->Iterations(30)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_OneSecondCafAsWav(benchmark::State& state) {
  std::string folder =
      (std::filesystem::temp_directory_path() / ("plinka-bench-" + std::to_string(getpid())))
          .string();
  std::filesystem::create_directories(folder);
  tones::Sound sound;
  sound.notes = {{0, 440, 1.0, 0.5, 2}};
  sound.seconds = 1.0;
  sound.format = SF_FORMAT_CAF | SF_FORMAT_PCM_16;
  int n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // A file never read before: nothing of it is in any cache of ours.
    std::string path = folder + "/sound-" + std::to_string(n++) + ".caf";
    std::string error;
    tones::write(path, sound, error);
    state.ResumeTiming();
    std::optional<std::string> wav = studio::soundAsWav(path, error);
    if (!wav) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(wav);
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_OneSecondCafAsWav)->Iterations(50)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
