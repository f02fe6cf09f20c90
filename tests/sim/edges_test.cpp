// plinka-sim one step off the README's examples: long sessions in bounded memory, failures that
// reach the user, temporary devices that never stay behind, help everywhere, and arguments
// checked when they are read.
#include <gtest/gtest.h>
#include <signal.h>
#include <stb_image_write.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "build_paths.h"
#include "program.h"
#include "temporary_folder.h"
#include "wav.h"

namespace {

namespace fs = std::filesystem;
using Result = testing_support::ProgramRun;
using testing_support::TemporaryFolder;

constexpr const char* kPreferences = "/var/mobile/Library/Preferences";
constexpr const char* kSettingsFile = "/var/mobile/Library/Preferences/com.plinka.plinka3.plist";

Result sim(const std::vector<std::string>& args, const std::string& input = "") {
  return testing_support::runProgram(PLINKA_SIM, args, input);
}

// The same, with the program's data segment limited to `megabytes`.
Result simWithin(int megabytes, const std::vector<std::string>& args, const std::string& input) {
  std::vector<std::string> words = {
      "-c", "ulimit -d " + std::to_string(megabytes * 1024) + " && exec \"$0\" \"$@\"", PLINKA_SIM};
  words.insert(words.end(), args.begin(), args.end());
  return testing_support::runProgram("/bin/sh", words, input);
}

std::vector<nlohmann::json> jsonLines(const std::string& out) {
  std::vector<nlohmann::json> entries;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    entries.push_back(nlohmann::json::parse(line, nullptr, false));
  }
  return entries;
}

std::vector<nlohmann::json> ofKind(const std::vector<nlohmann::json>& entries,
                                   const std::string& kind) {
  std::vector<nlohmann::json> found;
  for (const auto& e : entries) {
    if (e.is_object() && e.value("kind", "") == kind) found.push_back(e);
  }
  return found;
}

size_t lineCount(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

std::string copyOfExampleDevice(const TemporaryFolder& folder) {
  std::string root = folder.path() + "/device";
  fs::copy(std::string(PLINKA_BUILD_DIR) + "/examples/device", root, fs::copy_options::recursive);
  return root;
}

std::string rowsFile() {
  return std::string(PLINKA_SOURCE_DIR) + "/examples/settings/Root.plist";
}

// --- long sessions -------------------------------------------------------------------------

#if !defined(__SANITIZE_ADDRESS__)
TEST(LongSessions, TheJournalAndTheMixdownStreamInBoundedMemory) {
  // 30,000 key presses printed, and twenty minutes of mix-down, each within a 160 MB data
  // segment: held in memory they need several times that.
  std::string text(30000, 'a');
  Result typed = simWithin(160, {"springboard", "-"}, "launch\ntype " + text + "\n");
  EXPECT_EQ(typed.status, 0) << typed.err;
  size_t touches = 0;
  for (size_t at = 0; (at = typed.out.find("call               -[UIKeyboardLayoutStar touchDown",
                                           at)) != std::string::npos;
       ++at) {
    ++touches;
  }
  EXPECT_EQ(touches, text.size()) << "every key press is printed";

  TemporaryFolder folder;
  std::string wav = folder.path() + "/long.wav";
  Result mixed = simWithin(160, {"springboard", "--wav", wav, "-"},
                           "pref kEnabledPK false\nlaunch\nlock\nwait 600\nwait 600\nlock\n");
  ASSERT_EQ(mixed.status, 0) << mixed.err;
  testing_support::Samples samples = testing_support::readSamples(wav);
  ASSERT_EQ(samples.rate, 44100);
  auto peak = [&](double from, double to) { return testing_support::peak(samples, from, to); };
  // The stock lock sound (0.08 s) at 0.2 s, silence for twenty minutes, again at 1200.4 s.
  EXPECT_GT(peak(0.2, 0.3), 0.1);
  EXPECT_LT(peak(0.5, 1200.39), 0.001);
  EXPECT_GT(peak(1200.4, 1200.5), 0.1);
  EXPECT_NEAR(static_cast<double>(samples.mono.size()) / 44100, 1200.4 + 0.08 + 0.5, 0.01);
}
#endif

TEST(LongSessions, TheWavPathIsCheckedBeforeAnythingRuns) {
  TemporaryFolder root;
  Result r = sim({"springboard", "--device-root", root.path(), "--wav",
                  root.path() + "/no/such/folder/x.wav", "-"},
                 "pref kEnabledPK true\nlaunch\nlock\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(lineCount(r.err), 1u) << r.err;
  EXPECT_NE(r.err.find("cannot write " + root.path() + "/no/such/folder/x.wav"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(root.path())) << "the pref line ran";
}

TEST(LongSessions, OverlappingLoudSoundsBendIntoFullScaleRatherThanClip) {
  // Many presses of one sound, overlapping: the mix stays within full scale.
  TemporaryFolder folder;
  std::string wav = folder.path() + "/loud.wav";
  Result r = sim({"springboard", "--wav", wav, "-"},
                 "pref kEnabledPK false\nlaunch\nplug\nplug\nplug\nplug\nplug\nplug\n");
  ASSERT_EQ(r.status, 0) << r.err;
  testing_support::Samples samples = testing_support::readSamples(wav);
  double loudest = testing_support::peak(samples, 0, 10);
  EXPECT_GT(loudest, 0.5);
  EXPECT_LT(loudest, 0.995);
}

// --- failures that reach the user ----------------------------------------------------------

TEST(StoreFailures, ASettingNotStoredIsAJournalEntryAndStatusOneInBothCommands) {
  TemporaryFolder folder;
  std::string root = folder.path();
  fs::create_directories(root + "/var/mobile/Library");
  std::ofstream(root + kPreferences) << "a file where a folder should be";

  Result settings = sim({"settings", "--device-root", root, "--json", "--rows", rowsFile(), "-"},
                        "set Enabled on\nset Charge off\n");
  EXPECT_EQ(settings.status, 1);
  auto failed = ofKind(jsonLines(settings.out), "store-failed");
  ASSERT_EQ(failed.size(), 1u) << settings.out << "the script stops at the failure";
  EXPECT_EQ(failed[0]["key"], "kEnabledPK");
  EXPECT_EQ(failed[0]["reason"], std::string(kPreferences) + " is not a folder");
  EXPECT_EQ(settings.err,
            "-:1: could not store kEnabledPK: " + std::string(kPreferences) + " is not a folder\n");

  Result text =
      sim({"settings", "--device-root", root, "--rows", rowsFile(), "-"}, "set Enabled on\n");
  EXPECT_EQ(text.status, 1);
  EXPECT_NE(text.out.find("store failed: kEnabledPK"), std::string::npos) << text.out;

  for (const char* scenario :
       {"pref kEnabledPK true\nlaunch\n", "launch\npref kEnabledPK true\n"}) {
    Result r = sim({"springboard", "--json", "--device-root", root, "-"}, scenario);
    EXPECT_EQ(r.status, 1) << scenario;
    auto entries = jsonLines(r.out);
    ASSERT_EQ(ofKind(entries, "store-failed").size(), 1u) << r.out;
    EXPECT_EQ(ofKind(entries, "store-failed")[0]["file"], kSettingsFile);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find("is not a folder"), std::string::npos) << r.err;
  }
}

TEST(StoreFailures, AnUnreadableFileKeptAsideIsNamedAndAMissingOneIsSaid) {
  TemporaryFolder folder;
  std::string root = copyOfExampleDevice(folder);
  std::ofstream(root + kSettingsFile) << "<plist><dict><key>kEnabledPK</key>";
  Result settings =
      sim({"settings", "--device-root", root, "--rows", rowsFile(), "-"}, "set Enabled on\n");
  EXPECT_EQ(settings.status, 0) << settings.err;
  EXPECT_EQ(settings.err, std::string("plinka-sim settings: ") + kSettingsFile +
                              " was unreadable; kept aside as " + kSettingsFile + ".unreadable\n");
  EXPECT_TRUE(fs::exists(root + kSettingsFile + ".unreadable"));

  std::ofstream(root + kSettingsFile) << "not a plist either";
  Result pref = sim({"springboard", "--device-root", root, "-"}, "pref kCustomLock true\n");
  EXPECT_EQ(pref.status, 0) << pref.err;
  EXPECT_NE(pref.err.find(std::string(kSettingsFile) + ".unreadable-2"), std::string::npos)
      << pref.err;
  EXPECT_NE(pref.out.find("unreadable, kept aside as"), std::string::npos) << pref.out;

  // Unreadable when the product reads it, and then not there at all.
  std::ofstream(root + kSettingsFile) << "garbage";
  Result unreadable = sim({"springboard", "--device-root", root, "-"}, "launch\n");
  EXPECT_NE(unreadable.out.find("com.plinka.plinka3: settings file unreadable; 17 keys asked"),
            std::string::npos)
      << unreadable.out;
  fs::remove(root + kSettingsFile);
  Result missing = sim({"springboard", "--device-root", root, "-"}, "launch\n");
  EXPECT_NE(missing.out.find("com.plinka.plinka3: no settings file; 17 keys asked"),
            std::string::npos)
      << missing.out;
  EXPECT_EQ(missing.out.find("keys read"), std::string::npos);
}

TEST(StoreFailures, TheJournalSaysLoadedOnlyOfALibraryThatLoaded) {
  TemporaryFolder tweak;
  fs::copy_file(std::string(PLINKA_TEST_TWEAK_DIR) + "/Plinka3.plist",
                tweak.path() + "/Plinka3.plist");
  std::ofstream(tweak.path() + "/Plinka3.so") << "not a library";
  Result r = sim({"springboard", "--json", "--tweak-dir", tweak.path(), "-"}, "launch\nlock\n");
  EXPECT_EQ(r.status, 1);
  auto loads = ofKind(jsonLines(r.out), "load");
  ASSERT_EQ(loads.size(), 1u) << r.out;
  EXPECT_EQ(loads[0]["loaded"], false);
  std::string reason = loads[0]["reason"];
  EXPECT_EQ(reason.rfind(tweak.path() + "/Plinka3.so: ", 0), 0u) << reason;
  EXPECT_NE(reason.find("too short"), std::string::npos) << "the loader's own message: " << reason;
  EXPECT_EQ(lineCount(r.err), 1u) << r.err;

  // A library that loads: "load" comes first, then the hooks its initialiser installed.
  Result good = sim({"springboard", "--json", "-"}, "launch\n");
  auto entries = jsonLines(good.out);
  ASSERT_GE(entries.size(), 3u);
  EXPECT_EQ(entries[1]["kind"], "load");
  EXPECT_EQ(entries[1]["loaded"], true);
  EXPECT_EQ(entries[2]["kind"], "hook");
}

TEST(StoreFailures, WithJsonTheDeviceCommandPrintsJsonLinesOnly) {
  TemporaryFolder folder;
  std::string mounts = folder.path() + "/empty.mounts";
  std::ofstream{mounts};
  Result r = sim({"device", "--mounts", mounts, "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto entries = jsonLines(r.out);
  ASSERT_EQ(entries.size(), 3u) << r.out;
  for (const auto& entry : entries) ASSERT_TRUE(entry.is_object()) << r.out;
  EXPECT_EQ(ofKind(entries, "stdout").size(), 2u);
  EXPECT_EQ(entries[0]["text"], "Unable to get mounts");
  EXPECT_EQ(entries[2]["checkra1n"], false);
  // Without --json the library's line is printed as it is.
  Result text = sim({"device", "--mounts", mounts});
  EXPECT_EQ(text.out.rfind("Unable to get mounts\n", 0), 0u) << text.out;
}

// --- temporary devices ---------------------------------------------------------------------

// plinka-sim run with TMPDIR set to `temporary`; `signal`, when not 0, is sent once its
// temporary device exists. Answers the exit status as runProgram does.
int runInTemporary(const std::string& temporary, const std::string& command, int signal = 0) {
  pid_t child = fork();
  if (child == 0) {
    setenv("TMPDIR", temporary.c_str(), 1);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  if (signal != 0) {
    for (int tries = 0; tries < 2000; ++tries) {
      bool made = false;
      for (const auto& entry : fs::directory_iterator(temporary)) {
        made |= entry.path().filename().string().starts_with("plinka-device-");
      }
      if (made) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(child, signal);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::vector<std::string> leftIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

TEST(TemporaryDevices, AreRemovedOnEveryWayOut) {
  TemporaryFolder temporary;
  TemporaryFolder scenarios;
  std::string sim = PLINKA_SIM;
  std::string longScenario = scenarios.path() + "/long.scenario";
  std::ofstream(longScenario) << "launch\ntype " << std::string(100000, 'a') << "\n";

  // A closed pipe: the reader stops after one line of a long timeline.
  runInTemporary(temporary.path(), sim + " springboard " + longScenario + " | head -1 >/dev/null");
  EXPECT_EQ(leftIn(temporary.path()), std::vector<std::string>{}) << "after SIGPIPE";
  for (int signal : {SIGINT, SIGTERM, SIGABRT}) {
    int status = runInTemporary(
        temporary.path(), "exec " + sim + " springboard " + longScenario + " >/dev/null", signal);
    EXPECT_EQ(status, 128 + signal) << "the signal still ends the process";
    EXPECT_EQ(leftIn(temporary.path()), std::vector<std::string>{}) << strsignal(signal);
  }
  // A stale device of a process that no longer runs is swept; one of a running process stays.
  fs::create_directory(temporary.path() + "/plinka-device-2147483646-abcdef");
  std::string running = "plinka-device-" + std::to_string(getpid()) + "-abcdef";
  fs::create_directory(temporary.path() + "/" + running);
  EXPECT_EQ(runInTemporary(temporary.path(), "echo show | " + sim + " settings --rows " +
                                                 rowsFile() + " - >/dev/null"),
            0);
  EXPECT_EQ(leftIn(temporary.path()), std::vector<std::string>{running});
}

// --- help and messages ---------------------------------------------------------------------

TEST(Help, EveryCommandHasItAndARuntimeErrorIsOneLine) {
  Result overview = sim({"help"});
  EXPECT_EQ(overview.status, 0);
  for (const char* asked : {"--help", "-h"}) EXPECT_EQ(sim({asked}).out, overview.out);
  Result version = sim({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("plinka-sim ", 0), 0u);
  for (const char* command : {"springboard", "settings", "device", "sounds", "color", "studio"}) {
    EXPECT_NE(overview.out.find(std::string("  ") + command + " "), std::string::npos) << command;
    Result help = sim({"help", command});
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_EQ(help.out.rfind(std::string("usage: plinka-sim ") + command, 0), 0u) << help.out;
    for (const char* asked : {"--help", "-h"}) {
      Result r = sim({command, asked});
      EXPECT_EQ(r.status, 0) << command << " " << asked;
      EXPECT_EQ(r.out, help.out) << command << " " << asked;
    }
  }
  EXPECT_EQ(sim({"help", "nothing"}).status, 2);

  // Runtime errors and argument errors alike: one line, never the usage.
  const std::vector<std::vector<std::string>> wrong = {
      {"springboard", "/no/such/scenario"},
      {"springboard", "--device-root", "/no/such/folder", "-"},
      {"springboard", "--bogus", "-"},
      {"settings", "--rows", "/no/such/Root.plist", "-"},
      {"device", "--mounts", "/no/such/mounts"},
      {"color", "dominant", "/no/such/image.png"},
      {"color", "text-for", "0.5", "abc"},
  };
  for (const auto& args : wrong) {
    Result r = sim(args, "show\n");
    EXPECT_EQ(r.status, 2) << args[0] << " " << args[1];
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_EQ(r.err.find("usage:"), std::string::npos) << r.err;
  }
}

// The build's generators take one folder. Asked for help they print it and write nothing; a word
// that looks like an option is refused, never made into a folder of that name.
TEST(Help, GeneratorsTakeAFolderAndNeverAnOption) {
  TemporaryFolder folder;
  fs::path here = folder.path();
  // Runs the generator in `here`, where a folder it should not make would appear.
  auto runIn = [&](const char* generator, const std::vector<std::string>& args) {
    std::vector<std::string> words = {"-c", "cd \"$0\" && exec \"$@\"", here.string(), generator};
    words.insert(words.end(), args.begin(), args.end());
    return testing_support::runProgram("/bin/sh", words);
  };
  for (const char* generator : {PLINKA_MAKE_TONES, PLINKA_MAKE_LIBRARY, PLINKA_MAKE_ICONS}) {
    Result help = runIn(generator, {"--help"});
    EXPECT_EQ(help.status, 0) << generator;
    EXPECT_EQ(help.out.rfind("usage: plinka-make-", 0), 0u) << help.out;
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--bundle"}, {"-o"}, {""}, {}, {"a", "b"}}) {
      Result refused = runIn(generator, args);
      EXPECT_EQ(refused.status, 2) << generator << " " << args.size();
      EXPECT_EQ(refused.err.rfind("usage: plinka-make-", 0), 0u) << refused.err;
    }
    EXPECT_TRUE(fs::is_empty(here)) << generator << " wrote into its working folder";
    Result made = runIn(generator, {"out"});
    EXPECT_EQ(made.status, 0) << generator << ": " << made.err;
    EXPECT_FALSE(fs::is_empty(here / "out")) << generator;
    fs::remove_all(here / "out");
  }
}

// Every line the scenario and script parsers take, stated here apart from the parsers' tables:
// each must have its own synopsis line in the command's help ("\n  VERB ..."). A line the
// parser takes and help leaves out fails here.
TEST(Help, DocumentsEveryScenarioAndScriptLine) {
  std::string springboard = sim({"help", "springboard"}).out;
  for (const char* line : {"pref KEY VALUE",
                           "without CLASS",
                           "register CLASS",
                           "launch",
                           "set ac on|off",
                           "set battery 0|1|2|3",
                           "set locked on|off",
                           "set ringer on|off",
                           "fault battery INTEGER",
                           "fault init another|self",
                           "post battery",
                           "call CLASS SELECTOR",
                           "plug",
                           "unplug",
                           "lock",
                           "unlock",
                           "type TEXT",
                           "delete N",
                           "passcode DIGITS",
                           "volume up|down",
                           "wait SECONDS",
                           "note TEXT"}) {
    EXPECT_NE(springboard.find(std::string("\n  ") + line), std::string::npos) << line;
  }
  EXPECT_NE(springboard.find("accented letter"), std::string::npos);
  std::string settings = sim({"help", "settings"}).out;
  for (const char* line : {"show", "set ROW VALUE", "tap ROW", "back", "pick ITEM",
                           "pick --deleted ITEM", "pick --no-reference-url", "cancel"}) {
    // A synopsis may list its forms on one line, separated by " | ".
    bool found = false;
    for (const char* before : {"\n  ", " | "}) {
      for (const char* after : {"\n", " | "}) {
        found = found || settings.find(before + std::string(line) + after) != std::string::npos;
      }
    }
    EXPECT_TRUE(found) << line;
  }
  // And the other way: each verb the help documents is one the parsers take (a line run with it
  // is not an unknown command).
  for (const char* verb : {"fault", "set", "post"}) {
    Result r = sim({"springboard", "-"}, std::string(verb) + "\n");
    EXPECT_EQ(r.err.find("unknown command"), std::string::npos) << verb << ": " << r.err;
  }
  for (const char* verb : {"tap", "pick", "cancel", "back"}) {
    Result r = sim({"settings", "--rows", rowsFile(), "-"}, std::string(verb) + "\n");
    EXPECT_EQ(r.err.find("unknown command"), std::string::npos) << verb << ": " << r.err;
  }
}

// --- arguments checked when read -----------------------------------------------------------

TEST(Arguments, VersionsAndScalesAreCheckedAndCompareStaysFree) {
  for (const char* version : {"abc", "", "14.", ".4", "14..4", "14.4-", "b2"}) {
    Result device = sim({"device", "--system-version", version});
    EXPECT_EQ(device.status, 2) << "'" << version << "'";
    Result settings = sim({"settings", "--system-version", version, "--rows", rowsFile(), "-"});
    EXPECT_EQ(settings.status, 2) << "'" << version << "'";
    EXPECT_NE(settings.err.find("--system-version"), std::string::npos) << settings.err;
  }
  for (const char* version : {"14", "14.4", "14.4.2", "13.0b2"}) {
    Result r = sim({"device", "--system-version", version, "--json", "compare", "abc"});
    EXPECT_EQ(r.status, 0) << version << ": " << r.err;
  }

  // A 60 x 60 image: scales that make it more than 16384 points, or less than one, are refused
  // before anything is drawn.
  TemporaryFolder folder;
  std::string grey = folder.path() + "/grey.png";
  std::vector<uint8_t> pixels(60 * 60 * 4, 128);
  ASSERT_NE(stbi_write_png(grey.c_str(), 60, 60, 4, pixels.data(), 60 * 4), 0);
  for (const char* scale : {"0.002", "0.0015", "0.00366", "61", "1e-300"}) {
    Result r = sim({"color", "dominant", grey, "--scale", scale});
    EXPECT_EQ(r.status, 2) << scale << ": " << r.out;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("16384 points a side"), std::string::npos) << r.err;
  }
  EXPECT_EQ(sim({"color", "dominant", grey, "--scale", "0.5"}).status, 0);
  EXPECT_EQ(sim({"color", "dominant", grey, "--scale", "60"}).status, 0) << "one point";
}

TEST(Arguments, SetRefusesWhatARowCannotTake) {
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"set \"Respring mode\" 99\n",
       "-:1: row 'Respring mode' takes one of 0, 1, 2 (titled \"Always\", \"Only when unplugged\", "
       "\"Never\"), not 99"},
      {"show\nset Events on\n", "-:2: row 'Events' is a PSGroupCell row: it takes no value"},
      {"set \"Charge sound\" \"Nope.caf\"\n", "-:1: row 'Charge sound' takes one of"},
  };
  for (const auto& [script, message] : refused) {
    TemporaryFolder folder;
    std::string root = copyOfExampleDevice(folder);
    std::string before;
    {
      std::ifstream in(root + kSettingsFile, std::ios::binary);
      before.assign(std::istreambuf_iterator<char>(in), {});
    }
    Result r = sim({"settings", "--device-root", root, "--rows", rowsFile(), "-"}, script);
    EXPECT_EQ(r.status, 2) << script;
    EXPECT_EQ(r.err.rfind(message, 0), 0u) << r.err;
    EXPECT_EQ(r.out, "") << "nothing ran";
    std::ifstream in(root + kSettingsFile, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), before) << script;
  }
  Result allowed = sim({"settings", "--rows", rowsFile(), "-"}, "set \"Respring mode\" 2\n");
  EXPECT_EQ(allowed.status, 0) << allowed.err;
}

TEST(Arguments, TypeIsOneTouchDownPerCharacterWithAccentsAtTheirBaseLetter) {
  auto touches = [](const std::string& text) {
    Result r = sim({"springboard", "--json", "-"}, "launch\ntype \"" + text + "\"\n");
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<nlohmann::json> points;
    for (const auto& call : ofKind(jsonLines(r.out), "call")) {
      if (call["selector"] == "touchDownWithKey:atPoint:executionContext:") {
        points.push_back(call["args"][1]);
      }
    }
    return points;
  };
  auto plain = touches("e a 1");
  ASSERT_EQ(plain.size(), 5u);
  auto accented = touches("é à !");
  ASSERT_EQ(accented.size(), 5u) << "one touch-down per character, not per byte";
  EXPECT_EQ(accented[0], plain[0]);
  EXPECT_EQ(accented[2], plain[2]);
  EXPECT_EQ(accented[4], plain[4]) << "punctuation and digits share the 123 key";
  EXPECT_NE(plain[0], plain[2]);

  for (const std::string& text : {std::string("snow \xe2\x98\x83"), std::string("bad \xc3")}) {
    Result r = sim({"springboard", "-"}, "launch\ntype " + text + "\n");
    EXPECT_EQ(r.status, 2) << text;
    EXPECT_EQ(r.err.rfind("<stdin>:2: ", 0), 0u) << r.err;
  }
}

}  // namespace
