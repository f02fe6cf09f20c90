// The tweak's cost inside the simulated home screen, through the real hooked dispatch.
//
//   HostCall/unhooked          -[SBVolumeControl increaseVolume] before the tweak is loaded
//   HostCall/hooked_switch_off the same call once hooked, with the volume sound switched off
//                              (the ratio of the two is the product's overhead; target < 1.5x)
//   KeyPress/custom_sound      a key touch-down with a custom keyboard sound: the handler, the
//                              sound made from its file and played (target < 50 us)
//   KeyPressMemory             resident memory after 1,000 and after 100,000 custom key presses
//                              (target: within 1 MiB of each other)
//
// The journal is paused while measuring, so what is timed is the product, the runtime and the
// stand-ins' own work, not the recording of it. Run the benchmarks in the order listed: the
// unhooked call must be measured before the tweak is loaded.
#include <AudioToolbox/AudioToolbox.h>
#include <Foundation/Foundation.h>
#include <benchmark/benchmark.h>
#include <device/journal.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "build_paths.h"
#include "host_classes.h"
#include "session.h"
#include "tones.h"

namespace {

namespace fs = std::filesystem;

// The benchmark's device: a keyboard sound and the product on, with the volume sound off.
const std::string& deviceRoot() {
  static const std::string root = [] {
    std::string pattern = (fs::temp_directory_path() / "plinka-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    std::string bundle = pattern + "/var/LIY/PreferenceBundles/Plinka3.bundle/Keyboard";
    fs::create_directories(bundle);
    std::string error;
    tones::write(bundle + "/tap.wav", {{{0.0, 2000.0, 0.04, 0.5, 60}}}, error);
    ns::AutoreleasePool pool;
    id settings = ns::dictionary();
    ns::setValue(settings, "kEnabledPK", ns::boolNumber(true));
    ns::setValue(settings, "kCustomKeyboard", ns::boolNumber(true));
    ns::setValue(settings, "kKeyboardSound", ns::string("tap.wav"));
    ns::setValue(settings, "kCustomVolume", ns::boolNumber(false));
    ns::writePlist(pattern + "/var/mobile/Library/Preferences/com.plinka.plinka3.plist", settings);
    return pattern;
  }();
  // Removed when the program ends.
  static const struct Cleanup {
    ~Cleanup() {
      std::error_code ignored;
      fs::remove_all(root, ignored);
    }
  } cleanup;
  return root;
}

springboard::DeviceState& deviceState() {
  static springboard::DeviceState state;
  return state;
}

springboard::HomeScreen& home() {
  static springboard::HomeScreen screen({deviceRoot(), plinka_build::kTweakDir}, deviceState());
  return screen;
}

bool& tweakLoaded() {
  static bool loaded = false;
  return loaded;
}

void loadTweak() {
  if (tweakLoaded()) return;
  std::string error;
  if (!home().launch(error)) {
    std::fprintf(stderr, "cannot load the tweak: %s\n", error.c_str());
    std::abort();
  }
  tweakLoaded() = true;
}

void volumeUp(benchmark::State& state) {
  journal::Pause quiet;
  id control = home().instanceOf("SBVolumeControl");
  SEL increase = sel("increaseVolume");
  for (auto _ : state) msgSend<void>(control, increase);
}

void BM_HostCallUnhooked(benchmark::State& state) {
  if (tweakLoaded()) {
    state.SkipWithError("the tweak is already loaded: run this benchmark first");
    return;
  }
  springboard::buildHostClasses({});
  volumeUp(state);
}
BENCHMARK(BM_HostCallUnhooked)->Name("HostCall/unhooked");

void BM_HostCallHookedSwitchOff(benchmark::State& state) {
  loadTweak();
  volumeUp(state);
}
BENCHMARK(BM_HostCallHookedSwitchOff)->Name("HostCall/hooked_switch_off");

void pressKeys(long count) {
  id keyboard = home().instanceOf("UIKeyboardLayoutStar");
  SEL touchDown = sel("touchDownWithKey:atPoint:executionContext:");
  CGPoint point{187.5, 478.0};
  for (long i = 0; i < count; ++i) {
    ns::AutoreleasePool pool;  // one run-loop turn per touch, as on the device
    msgSend<void>(keyboard, touchDown, static_cast<id>(nil), point, static_cast<id>(nil));
  }
}

void BM_KeyPressCustomSound(benchmark::State& state) {
  loadTweak();
  journal::Pause quiet;
  for (auto _ : state) pressKeys(1);
}
BENCHMARK(BM_KeyPressCustomSound)->Name("KeyPress/custom_sound")->Unit(benchmark::kMicrosecond);

double residentKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0;
  long resident = 0;
  statm >> size >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1024.0;
}

void BM_KeyPressMemory(benchmark::State& state) {
  loadTweak();
  journal::Pause quiet;
  for (auto _ : state) {
    pressKeys(1000);
    double after1k = residentKiB();
    pressKeys(99000);
    double after100k = residentKiB();
    state.counters["rss_after_1k_KiB"] = after1k;
    state.counters["rss_after_100k_KiB"] = after100k;
    state.counters["growth_KiB"] = after100k - after1k;
  }
}
BENCHMARK(BM_KeyPressMemory)->Name("KeyPressMemory")->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
