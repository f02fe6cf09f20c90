// `plinka-sim springboard` as its users see it: the scenario language, the exit statuses, the
// journal printed, and the WAV written.
#include <gtest/gtest.h>

#include <stdlib.h>
#include "program.h"
#include "temporary_folder.h"
#include "wav.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "build_paths.h"
#include "scenario.h"

namespace {

namespace fs = std::filesystem;

using Result = testing_support::ProgramRun;

// Runs plinka-sim with `args`, feeding `input` on standard input.
Result sim(const std::vector<std::string>& args, const std::string& input = "") {
  return testing_support::runProgram(PLINKA_SIM, args, input);
}

using testing_support::TemporaryFolder;

std::string parseError(const std::string& text) {
  std::istringstream in(text);
  std::string error;
  auto scenario = springboard::parseScenario(in, "s", error);
  return scenario ? "" : error;
}

TEST(ScenarioLanguage, NamesTheLineAndTheFaultOfEveryBadLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"launch\nfly away\n", "s:2: unknown command 'fly'"},
      {"pref kEnabledPK yes\n", "s:1: expected true, false"},
      {"pref kRespringMode 99999999999999999999\n", "s:1: expected true, false"},
      {"pref kLockSound \"open\n", "s:1: unterminated string"},
      {"pref kEnabledPK\n", "s:1: usage: pref KEY VALUE"},
      {"plug\n", "s:1: 'plug' needs a running home-screen process"},
      {"launch\ncall SBUIController fly\n", "s:2: SBUIController has no host method 'fly'"},
      {"launch\ncall NSObject init\n", "s:2: the host has no class 'NSObject'"},
      {"launch\ncall SBDashBoardLockScreenEnvironment setAuthenticated: maybe\n",
       "takes one argument: yes or no"},
      {"launch\ncall UIKeyboardLayoutStar touchDownWithKey:atPoint:executionContext: 1\n",
       "takes a point"},
      {"launch\ncall UIKeyboardImpl deleteBackward now\n", "takes no arguments"},
      {"without UIView\n", "s:1: 'UIView' is not a class the product looks up"},
      {"launch\nregister SBVolumeControl\n", "already registered"},
      {"set battery 4\n", "a battery state is 0, 1, 2 or 3"},
      {"set ac maybe\n", "expected on or off"},
      {"fault battery 1.5\n", "fault battery takes a 64-bit integer"},
      {"fault init maybe\n", "usage: fault battery INTEGER, fault init another|self or fault disk"},
      {"fault disk empty\n", "s:1: unknown fault 'disk empty': fault disk full|rename fails|"},
      {"fault rename\n", "s:1: unknown fault 'rename'"},
      {"wait -1\n", "wait takes a number of seconds"},
      {"wait 601\n", "wait takes a number of seconds"},
      {"launch\ndelete 0\n", "expected a count"},
      {"launch\npasscode 12a4\n", "a passcode is 1 to 64 digits"},
      {"launch\nvolume sideways\n", "volume goes up or down"},
      {"\"launch\"\n", "a line starts with a command"},
  };
  for (const auto& [text, expected] : cases) {
    std::string error = parseError(text);
    EXPECT_NE(error.find(expected), std::string::npos) << text << " gave: " << error;
  }
  EXPECT_EQ(parseError("# a comment\n\n  launch   # trailing\ntype \"a # b\"\nwithout SpringBoard\n"
                       "launch\nregister SpringBoard\nnote all fine\n"),
            "");
}

TEST(SpringboardCommand, ABadLineRunsNothingAndExitsTwo) {
  TemporaryFolder root;
  Result r = sim({"springboard", "--device-root", root.path(), "-"},
                 "pref kEnabledPK true\nlaunch\ntype hello\nvolume up 0\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.rfind("<stdin>:4: expected a count", 0), 0u) << r.err;
  // Not even the settings line ran.
  EXPECT_TRUE(fs::is_empty(root.path()));

  // Every bad line is named, in order, before anything runs; good lines between them are not.
  Result many = sim({"springboard", "--device-root", root.path(), "-"},
                    "pref kEnabledPK true\nfly\nlaunch\nvolume up 0\nlock\nwait soon\n");
  EXPECT_EQ(many.status, 2);
  EXPECT_EQ(many.out, "");
  EXPECT_EQ(many.err,
            "<stdin>:2: unknown command 'fly'\n"
            "<stdin>:4: expected a count from 1 to 100000, got '0'\n"
            "<stdin>:6: wait takes a number of seconds from 0 to 600, got 'soon'\n");
  EXPECT_TRUE(fs::is_empty(root.path()));
}

// The loader's own message names the library; the error names it once, with the reason.
TEST(SpringboardCommand, ABrokenTweakIsNamedOnceWithTheLoadersReason) {
  TemporaryFolder tweak;
  fs::copy_file(std::string(PLINKA_TEST_TWEAK_DIR) + "/Plinka3.plist",
                tweak.path() + "/Plinka3.plist");
  std::ofstream(tweak.path() + "/Plinka3.so") << "not a library";
  Result r = sim({"springboard", "--tweak-dir", tweak.path(), "-"}, "launch\n");
  EXPECT_EQ(r.status, 1);
  std::string library = tweak.path() + "/Plinka3.so";
  size_t first = r.err.find(library);
  ASSERT_NE(first, std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(library, first + 1), std::string::npos) << "named twice: " << r.err;
  EXPECT_EQ(r.err.rfind("plinka-sim springboard: <stdin>:1: " + library + ": ", 0), 0u) << r.err;
}

// The first blind sweep's crash: a sound name that is not UTF-8 reached the journal, whose JSON
// writer threw, and the home-screen process died. Such a settings file is not read at all, as on
// the device; a scenario line that is not text is refused.
TEST(SpringboardCommand, ASoundNameThatIsNotTextLeavesTheProductOffNotTheHomeScreenDown) {
  TemporaryFolder root;
  fs::copy(std::string(PLINKA_BUILD_DIR) + "/examples/device", root.path(),
           fs::copy_options::recursive);
  std::string file = root.path() + "/var/mobile/Library/Preferences/com.plinka.plinka3.plist";
  std::ifstream in(file, std::ios::binary);
  std::string settings((std::istreambuf_iterator<char>(in)), {});
  settings.replace(settings.find("Latch.aiff"), 5, "L\xE4tch");
  std::ofstream(file, std::ios::binary | std::ios::trunc) << settings;

  Result r = sim({"springboard", "--device-root", root.path(), "--json", "-"}, "launch\nlock\n");
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  int stockLocks = 0;
  for (std::string line; std::getline(lines, line);) {
    auto entry = nlohmann::json::parse(line);
    EXPECT_NE(entry["kind"], "sound-create") << "the product is off: " << line;
    if (entry["kind"] == "stock") ++stockLocks;
  }
  EXPECT_GT(stockLocks, 0) << r.out;

  Result refused = sim({"springboard", "--device-root", root.path(), "-"},
                       "launch\npref kLockSound \"L\xE4tch.aiff\"\n");
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err.rfind("<stdin>:2: the line is not UTF-8 text", 0), 0u) << refused.err;
}

TEST(SpringboardCommand, DiskFaultsFailTheStoreUntilTheDiskIsOkAgain) {
  TemporaryFolder root;
  const std::string prefs =
      root.path() + "/var/mobile/Library/Preferences/com.plinka.plinka3.plist";
  for (const auto& [fault, reason] : std::vector<std::pair<std::string, std::string>>{
           {"disk full", "no space left on device"}, {"rename fails", "input/output error"}}) {
    Result r = sim({"springboard", "--device-root", root.path(), "-"},
                   "fault " + fault + "\npref kEnabledPK true\n");
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find(":2: cannot write"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(prefs)) << fault;
  }
  // A removal failing stops no write; a sound disk again lets the store through.
  Result r = sim({"springboard", "--device-root", root.path(), "-"},
                 "fault remove fails\nfault disk full\nfault disk ok\npref kEnabledPK true\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(prefs));
}

TEST(SpringboardCommand, PrintsTheJournalAsJsonLines) {
  Result r = sim({"springboard", "--json", "-"}, "launch\ntype a\n");
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::vector<std::string> kinds;
  for (std::string line; std::getline(lines, line);) {
    auto entry = nlohmann::json::parse(line);
    ASSERT_TRUE(entry.contains("kind")) << line;
    ASSERT_TRUE(entry.contains("t")) << line;
    kinds.push_back(entry["kind"]);
  }
  ASSERT_FALSE(kinds.empty());
  EXPECT_EQ(kinds.front(), "launch");
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), "hook"), 14);
  EXPECT_EQ(kinds.back(), "sound-play");
}

TEST(SpringboardCommand, WritesTheSessionAsAWavWithEachSoundAtItsTime) {
  TemporaryFolder folder;
  std::string wav = folder.path() + "/session.wav";
  Result r =
      sim({"springboard", "--wav", wav, "-"}, "pref kCustomRespring false\nlaunch\nwait 2\nplug\n");
  ASSERT_EQ(r.status, 0) << r.err;
  testing_support::Samples samples = testing_support::readSamples(wav);
  ASSERT_EQ(samples.rate, 44100);
  auto peak = [&](double from, double to) { return testing_support::peak(samples, from, to); };
  // Silence until the plug at 2.2 s, then the charge sound.
  EXPECT_LT(peak(0.0, 2.19), 0.001);
  EXPECT_GT(peak(2.2, 2.6), 0.1);
}

TEST(SpringboardCommand, TheRingerOffSilencesEveryPlayInEveryProcessButThe1521Taps) {
  TemporaryFolder folder;
  std::string wav = folder.path() + "/session.wav";
  // Charge sounds at 0.2 and 0.4 s, at 2.8 s in a second process, and at 5.0 s with the
  // ringer back on.
  Result r = sim({"springboard", "--json", "--wav", wav, "-"},
                 "pref kCustomRespring false\nset ringer off\nlaunch\nplug\nunplug\nlaunch\n"
                 "wait 2\nplug\nset ringer on\nwait 2\nunplug\n");
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> plays;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    auto e = nlohmann::json::parse(line);
    if (e["kind"] != "sound-play") continue;
    plays.push_back(e.contains("path") ? "file" : e["id"].dump());
    if (e.value("silent", false)) plays.back() += e.value("ringer", "") == "off" ? " silent" : " ?";
  }
  EXPECT_EQ(plays, (std::vector<std::string>{"file silent", "1521", "file silent", "1521",
                                             "file silent", "1521", "file", "1521"}));
  testing_support::Samples samples = testing_support::readSamples(wav);
  auto peak = [&](double from, double to) { return testing_support::peak(samples, from, to); };
  // The taps of 1521 (a quarter second) are felt; the charge sound after them is heard only
  // once the ringer is back on.
  EXPECT_GT(peak(2.8, 3.05), 0.05);
  EXPECT_LT(peak(3.1, 4.9), 0.001);
  EXPECT_GT(peak(5.25, 5.5), 0.1);
}

TEST(SpringboardCommand, TheDemoRunsAndLeavesTheExampleDeviceAsItWas) {
  Result r = sim({"springboard", std::string(PLINKA_SOURCE_DIR) + "/examples/demo.scenario"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("> plug"), std::string::npos);
  EXPECT_NE(r.out.find("Charge////Power Up.caf"), std::string::npos);
  // The demo changes kCustomVolume on its temporary copy only.
  std::ifstream settings(
      std::string(PLINKA_BUILD_DIR) +
      "/examples/device/var/mobile/Library/Preferences/com.plinka.plinka3.plist");
  std::stringstream text;
  text << settings.rdbuf();
  EXPECT_NE(text.str().find("<key>kCustomVolume</key>\n\t<false/>"), std::string::npos);
}

TEST(SpringboardCommand, EveryExampleScenarioRuns) {
  int examples = 0;
  for (const auto& entry : fs::directory_iterator(std::string(PLINKA_SOURCE_DIR) + "/examples")) {
    if (entry.path().extension() != ".scenario") continue;
    ++examples;
    Result r = sim({"springboard", entry.path().string()});
    EXPECT_EQ(r.status, 0) << entry.path() << ": " << r.err;
  }
  EXPECT_GE(examples, 3);
}

TEST(SpringboardCommand, LoadsTheTweakOnlyWhereItsFilterSays) {
  TemporaryFolder tweak;
  fs::copy_file(std::string(PLINKA_TEST_TWEAK_DIR) + "/Plinka3.so", tweak.path() + "/Plinka3.so");
  // No filter: a clear error that names the file.
  Result missing = sim({"springboard", "--tweak-dir", tweak.path(), "-"}, "launch\n");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find(tweak.path() + "/Plinka3.plist"), std::string::npos) << missing.err;
  // A filter for another process: the home screen runs without the product.
  std::ofstream(tweak.path() + "/Plinka3.plist")
      << "{ Filter = { Bundles = ( \"com.apple.Preferences\" ); }; }";
  Result other = sim({"springboard", "--json", "--tweak-dir", tweak.path(), "-"}, "launch\nlock\n");
  EXPECT_EQ(other.status, 0) << other.err;
  EXPECT_EQ(other.out.find("\"kind\":\"hook\""), std::string::npos);
  EXPECT_NE(other.out.find("\"loaded\":false"), std::string::npos);
  // A filter that is not one.
  std::ofstream(tweak.path() + "/Plinka3.plist") << "<plist><dict><key>Filter</key>";
  Result broken = sim({"springboard", "--tweak-dir", tweak.path(), "-"}, "launch\n");
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.err.find("Plinka3.plist: not a readable filter"), std::string::npos)
      << broken.err;
}

}  // namespace
