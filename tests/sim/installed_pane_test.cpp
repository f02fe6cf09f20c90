// Settings panes installed on a device and opened by `plinka-sim settings` as the Settings
// application opens them: the example pane, a second pane with other names, the choice between
// several, every way an installation can be wrong, and the example pane's sound lists, which
// follow the files in the event folders.
#include <Preferences/Preferences.h>
#include <device/device.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

#include "build_paths.h"
#include "installed_pane.h"
#include "program.h"
#include "temporary_folder.h"
#include "tones.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TemporaryFolder;
using Result = testing_support::ProgramRun;

const std::string kEntries = "/var/LIY/PreferenceLoader/Preferences";
const std::string kChime = "/var/LIY/PreferenceBundles/Chime.bundle";
const std::string kPlinka = "/var/LIY/PreferenceBundles/Plinka3.bundle";

Result sim(const std::vector<std::string>& args, const std::string& input = "") {
  return testing_support::runProgram(PLINKA_SIM, args, input);
}

// Copies a folder laid out as a device root over `root`.
void install(const std::string& tree, const std::string& root) {
  fs::copy(tree, root, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

void writeFile(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string infoPlist(const std::string& executable, const std::string& principal) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
         "<key>CFBundleExecutable</key><string>" +
         executable + "</string><key>NSPrincipalClass</key><string>" + principal +
         "</string></dict></plist>\n";
}

std::string entryPlist(const std::string& bundle, const std::string& label) {
  return "{ entry = { bundle = \"" + bundle +
         "\"; cell = PSLinkCell; isController = 1; label = \"" + label + "\"; }; }\n";
}

// The JSON lines of an output.
std::vector<nlohmann::json> jsonLines(const std::string& out) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(InstalledPane, TheExamplePaneOpensWithTheControllerOfItsOwnExecutable) {
  TemporaryFolder root;
  install(PLINKA_EXAMPLE_DEVICE, root.path());
  Result r = sim({"settings", "--device-root", root.path(), "--json", "-"}, "show\n");
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<nlohmann::json> lines = jsonLines(r.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front()["kind"], "pane");
  EXPECT_EQ(lines.front()["class"], "PKRootListController");
  EXPECT_EQ(lines.front()["executable"], kPlinka + "/Plinka3");
  EXPECT_EQ(lines.front()["entry"], kEntries + "/Plinka3.plist");
  EXPECT_TRUE(has(r.out, "\"label\":\"Lock sound\"")) << r.out;
  // The example device's Volume switch is off: its sound row is hidden.
  EXPECT_TRUE(has(r.out, "\"label\":\"Volume\"")) << r.out;
  EXPECT_FALSE(has(r.out, "\"label\":\"Volume sound\"")) << r.out;

  // The class comes from that file: without it there is no pane.
  fs::rename(root.path() + kPlinka + "/Plinka3", root.path() + kPlinka + "/Plinka3.moved");
  Result gone = sim({"settings", "--device-root", root.path(), "-"}, "show\n");
  EXPECT_EQ(gone.status, 2);
  EXPECT_TRUE(has(gone.err, kPlinka + "/Info.plist names executable Plinka3")) << gone.err;
  EXPECT_EQ(gone.out, "");
}

TEST(InstalledPane, ASecondBundleWithOtherNamesOpensTheSameWay) {
  TemporaryFolder root;
  install(PLINKA_TEST_PANE_ROOT, root.path());
  Result r = sim({"settings", "--device-root", root.path(), "-"}, "show\nset Bell on\nshow\n");
  ASSERT_EQ(r.status, 0) << r.err;
  // Opened as the Settings application opens a pane: the owner is off, so its row is hidden.
  EXPECT_TRUE(has(
      r.out, "Chime\n  Bell: off  (PSSwitchTableCell, selection none)\nstore Bell (bell) = on\n"))
      << r.out;
  EXPECT_TRUE(has(r.out, "pane Chime: CHMSettingsController from " + kChime + "/ChimeSettings\n"))
      << r.out;
  // Its rows come from its own Chime.plist, and its controller is a ZELPreferenceController:
  // turning the owner on shows the row it owns.
  EXPECT_TRUE(has(r.out, "insert after Bell: Loud")) << r.out;
  EXPECT_TRUE(has(r.out, "Chime\n  Bell: on")) << r.out;
}

TEST(InstalledPane, OneOfSeveralIsChosenByLabelFirstThenByFileName) {
  TemporaryFolder root;
  install(PLINKA_EXAMPLE_DEVICE, root.path());
  install(PLINKA_TEST_PANE_ROOT, root.path());
  // A third pane whose entry's file name is the example pane's label.
  writeFile(root.path() + kEntries + "/Plinka.plist", entryPlist("Chime", "Bells"));

  Result none = sim({"settings", "--device-root", root.path(), "-"}, "show\n");
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.out, "");
  EXPECT_TRUE(has(none.err, "3 settings panes are installed")) << none.err;
  for (const char* listed : {"Bells  (Plinka.plist",
                             "Chime  (Chime.plist: bundle Chime, icon "
                             "bell.png)",
                             "Plinka  (Plinka3.plist: bundle Plinka3, icon icon.png)"}) {
    EXPECT_TRUE(has(none.err, listed)) << listed << "\n" << none.err;
  }

  auto opened = [&](const std::string& name) {
    Result r = sim({"settings", "--device-root", root.path(), "--pane", name, "-"}, "");
    EXPECT_EQ(r.status, 0) << name << ": " << r.err;
    return r.out.substr(0, r.out.find('\n'));
  };
  EXPECT_EQ(opened("Plinka"), "pane Plinka: PKRootListController from " + kPlinka + "/Plinka3");
  EXPECT_EQ(opened("Chime"), "pane Chime: CHMSettingsController from " + kChime + "/ChimeSettings");
  EXPECT_EQ(opened("Plinka3.plist"),
            "pane Plinka: PKRootListController from " + kPlinka + "/Plinka3");
  EXPECT_EQ(opened("Plinka3"), "pane Plinka: PKRootListController from " + kPlinka + "/Plinka3");
  EXPECT_EQ(opened("Plinka.plist"),
            "pane Bells: CHMSettingsController from " + kChime + "/ChimeSettings");

  Result unknown = sim({"settings", "--device-root", root.path(), "--pane", "Plinka3.bundle", "-"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(has(unknown.err, "no settings pane named 'Plinka3.bundle'")) << unknown.err;

  Result both = sim({"settings", "--rows", "Root.plist", "--pane", "Chime", "-"});
  EXPECT_EQ(both.status, 2);
}

// Each way a pane can be installed wrong: a clear message naming the file, the status the other
// commands give (2 for what is installed, 1 for what the controller does), nothing shown, and
// never a crash.
TEST(InstalledPane, EachBadInstallationIsAClearErrorNamingItsFile) {
  struct Case {
    const char* what;
    std::function<void(const std::string& root)> spoil;
    int status;
    std::vector<std::string> said;
  };
  const std::string info = kChime + "/Info.plist";
  const std::vector<Case> cases = {
      {"no entry at all",
       [](const std::string& r) { fs::remove_all(r + "/var"); },
       2,
       {"no settings pane is installed", "--rows"}},
      {"an entry that is no property list",
       [](const std::string& r) { writeFile(r + kEntries + "/Chime.plist", "{ entry = "); },
       2,
       {kEntries + "/Chime.plist is not a property list dictionary"}},
      {"an entry without its entry dictionary",
       [](const std::string& r) { writeFile(r + kEntries + "/Chime.plist", "{ label = x; }"); },
       2,
       {kEntries + "/Chime.plist has no entry dictionary"}},
      {"an entry that is no controller entry",
       [](const std::string& r) {
         writeFile(r + kEntries + "/Chime.plist",
                   "{ entry = { bundle = Chime; label = Chime; isController = 0; }; }");
       },
       2,
       {kEntries + "/Chime.plist is not a controller entry"}},
      {"a missing bundle",
       [](const std::string& r) {
         writeFile(r + kEntries + "/Chime.plist", entryPlist("Carillon", "Chime"));
       },
       2,
       {kEntries + "/Chime.plist names bundle Carillon",
        "/var/LIY/PreferenceBundles/Carillon.bundle"}},
      {"a bundle name that leaves the bundle folder",
       [](const std::string& r) {
         writeFile(r + kEntries + "/Chime.plist", entryPlist("../Chime", "Chime"));
       },
       2,
       {kEntries + "/Chime.plist names bundle '../Chime', which is not a bundle name"}},
      {"an Info.plist that is missing",
       [&](const std::string& r) { fs::remove(r + info); },
       2,
       {info + " is missing or not a property list dictionary"}},
      {"a missing executable",
       [&](const std::string& r) {
         writeFile(r + info, infoPlist("Ding", "CHMSettingsController"));
       },
       2,
       {info + " names executable Ding: no file " + kChime + "/Ding"}},
      {"no principal class",
       [&](const std::string& r) {
         writeFile(r + info,
                   "<plist version=\"1.0\"><dict><key>CFBundleExecutable</key>"
                   "<string>ChimeSettings</string></dict></plist>");
       },
       2,
       {info + " names no NSPrincipalClass"}},
      {"an executable that does not load",
       [](const std::string& r) {
         writeFile(r + kChime + "/ChimeSettings", "#!/bin/sh\necho not a library\n");
       },
       2,
       {kChime + "/ChimeSettings does not load: "}},
      {"a class the executable does not define",
       [&](const std::string& r) {
         writeFile(r + info, infoPlist("ChimeSettings", "CHMMissingController"));
       },
       2,
       {info + " names principal class CHMMissingController, which " + kChime +
        "/ChimeSettings does not define"}},
      {"a class that is not a list controller",
       [&](const std::string& r) {
         writeFile(r + info, infoPlist("ChimeSettings", "CHMPlainObject"));
       },
       2,
       {info + " names principal class CHMPlainObject, which is not a list controller "
               "(CHMPlainObject : NSObject)"}},
      {"specifiers that raise",
       [&](const std::string& r) {
         writeFile(r + info, infoPlist("ChimeSettings", "CHMRaisingController"));
       },
       1,
       {"CHMRaisingController -specifiers raised NSInvalidArgumentException: "}},
      {"specifiers that are not an array",
       [&](const std::string& r) {
         writeFile(r + info, infoPlist("ChimeSettings", "CHMNotAnArrayController"));
       },
       1,
       {"CHMNotAnArrayController -specifiers answered a ", ", not an array of rows"}},
      {"a controller whose row list is missing",
       [](const std::string& r) { fs::remove(r + kChime + "/Chime.plist"); },
       1,
       {"CHMSettingsController -specifiers answered nil, not an array of rows"}},
      {"two entries with one label",
       [](const std::string& r) {
         writeFile(r + kEntries + "/Chime2.plist", entryPlist("Chime", "Chime"));
       },
       2,
       {"entries " + kEntries + "/Chime.plist and " + kEntries +
        "/Chime2.plist have one label, 'Chime'"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TemporaryFolder root;
    install(PLINKA_TEST_PANE_ROOT, root.path());
    c.spoil(root.path());
    Result r = sim({"settings", "--device-root", root.path(), "-"}, "show\n");
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(r.err.rfind("plinka-sim settings: ", 0) == 0) << r.err;
    for (const std::string& part : c.said) EXPECT_TRUE(has(r.err, part)) << part << "\n" << r.err;
  }
}

// The example pane's sound rows, through the host: the pane opened as the command opens it, then
// its data sources asked as the framework asks them, with the row.
class PaneSoundLists : public ::testing::Test {
 protected:
  void SetUp() override {
    install(PLINKA_EXAMPLE_DEVICE, root_.path());
    device::setRoot(root_.path());
  }
  void TearDown() override { device::setRoot(""); }

  void open() {
    std::vector<settings_sim::PaneEntry> entries;
    settings_sim::PaneProblem problem;
    ASSERT_TRUE(settings_sim::findPaneEntries(entries, problem)) << problem.message;
    const settings_sim::PaneEntry* entry = settings_sim::choosePane(entries, "", problem);
    ASSERT_NE(entry, nullptr) << problem.message;
    ASSERT_TRUE(settings_sim::openPane(*entry, pane_, problem)) << problem.message;
  }
  id row(const std::string& label) {
    for (id row : ns::elements(pane_.fullList)) {
      if (preferences::rowName(row) == label) return row;
    }
    ADD_FAILURE() << "no row " << label;
    return nil;
  }
  std::vector<std::string> ask(const char* selector, const std::string& label) {
    std::vector<std::string> out;
    id answer = send(pane_.controller, selector, row(label));
    for (id text : ns::elements(answer)) out.push_back(ns::utf8(text));
    return out;
  }
  void addFile(const std::string& event, const std::string& name) {
    std::string path = root_.path() + kPlinka + "/" + event + "/" + name;
    tones::Sound sound{
        {{0.0, 660.0, 0.1, 0.5, 0}}, 0.1, 22050, 1, SF_FORMAT_CAF | SF_FORMAT_PCM_16};
    std::string error;
    ASSERT_TRUE(tones::write(path, sound, error)) << error;
  }

  TemporaryFolder root_;
  settings_sim::OpenedPane pane_;
  ns::AutoreleasePool pool_;
};

TEST_F(PaneSoundLists, OfferTheFilesInTheRowsOwnFolderSortedWithTitlesWithoutExtension) {
  addFile("Lock", "Zap.caf");
  addFile("Lock", "alarm.wav");
  addFile("Lock", "Bell.tone.caf");
  addFile("Lock", ".hidden.caf");
  fs::create_directories(root_.path() + kPlinka + "/Lock/Old.caf");
  addFile("Unlock", "Door.caf");
  open();
  EXPECT_EQ(ask("soundValues:", "Lock sound"),
            (std::vector<std::string>{"Bell.tone.caf", "Latch.aiff", "Zap.caf", "alarm.wav"}));
  EXPECT_EQ(ask("soundTitles:", "Lock sound"),
            (std::vector<std::string>{"Bell.tone", "Latch", "Zap", "alarm"}));
  EXPECT_EQ(ask("soundValues:", "Unlock sound"),
            (std::vector<std::string>{"Door.caf", "Open.wav"}));
  EXPECT_EQ(ask("soundTitles:", "Charge sound"), (std::vector<std::string>{"Power Up"}));
}

TEST_F(PaneSoundLists, FollowTheFolderEachTimeTheyAreAsked) {
  open();
  EXPECT_EQ(ask("soundValues:", "Lock sound"), (std::vector<std::string>{"Latch.aiff"}));
  addFile("Lock", "Chirp.caf");
  EXPECT_EQ(ask("soundValues:", "Lock sound"),
            (std::vector<std::string>{"Chirp.caf", "Latch.aiff"}));
  fs::remove_all(root_.path() + kPlinka + "/Lock");
  EXPECT_TRUE(ask("soundValues:", "Lock sound").empty());
  EXPECT_TRUE(ask("soundTitles:", "Lock sound").empty());
  // A row without a folder of its own offers nothing.
  EXPECT_TRUE(ask("soundValues:", "Enabled").empty());
}

// The sounds check names `sound` as the Lock event's, playable, and a lock after a launch plays
// it from the Lock folder.
void expectLockPlays(const std::string& root, const std::string& sound) {
  Result check = sim({"sounds", "--device-root", root, "--json"});
  ASSERT_EQ(check.status, 0) << check.err;
  bool found = false;
  for (const nlohmann::json& line : jsonLines(check.out)) {
    if (line.value("event", "") != "Lock") continue;
    found = true;
    EXPECT_EQ(line["name"], sound);
    EXPECT_EQ(line["verdict"], "plays");
  }
  EXPECT_TRUE(found) << check.out;
  Result played =
      sim({"springboard", "--device-root", root, "--tweak-dir", PLINKA_TEST_TWEAK_DIR, "-"},
          "launch\nlock\n");
  ASSERT_EQ(played.status, 0) << played.err;
  EXPECT_TRUE(has(played.out, "sound-play         #")) << played.out;
  EXPECT_TRUE(has(played.out, kPlinka + "/Lock////" + sound)) << played.out;
}

// A sound imported on a device is one the example pane offers and stores, the `sounds` check
// reports and the home screen plays.
TEST(InstalledPane, AnImportedSoundIsChosenInThePaneAndPlaysAtLock) {
  TemporaryFolder root;
  install(PLINKA_EXAMPLE_DEVICE, root.path());
  TemporaryFolder source;
  std::string file = source.path() + "/recording.wav";
  tones::Sound sound{{{0.0, 523.0, 0.2, 0.5, 0}}, 0.2, 22050, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16};
  std::string error;
  ASSERT_TRUE(tones::write(file, sound, error)) << error;
  Result imported =
      sim({"sounds", "import", "Lock", file, "--name", "Knock.caf", "--device-root", root.path()});
  ASSERT_EQ(imported.status, 0) << imported.err;
  // The import names the sound itself; the user goes back to the old one in the pane first.
  Result back =
      sim({"settings", "--device-root", root.path(), "-"}, "set \"Lock sound\" \"Latch.aiff\"\n");
  ASSERT_EQ(back.status, 0) << back.err;

  Result chosen =
      sim({"settings", "--device-root", root.path(), "-"}, "set \"Lock sound\" \"Knock.caf\"\n");
  ASSERT_EQ(chosen.status, 0) << chosen.err;
  EXPECT_TRUE(has(chosen.out, "store Lock sound (kLockSound) = \"Knock.caf\"")) << chosen.out;

  expectLockPlays(root.path(), "Knock.caf");
}

// The same, as a user does it on the pane: the imported sound is on the Lock sound page, a tap
// there stores it and moves the mark, and the pane shows it after going back. A value the folder
// does not hold is refused when the line runs, since the controller answers the choices then.
TEST(InstalledPane, AnImportedSoundIsOnTheLockSoundPageAndATapThereChoosesIt) {
  TemporaryFolder root;
  install(PLINKA_EXAMPLE_DEVICE, root.path());
  TemporaryFolder source;
  std::string file = source.path() + "/recording.wav";
  tones::Sound sound{{{0.0, 523.0, 0.2, 0.5, 0}}, 0.2, 22050, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16};
  std::string error;
  ASSERT_TRUE(tones::write(file, sound, error)) << error;
  ASSERT_EQ(
      sim({"sounds", "import", "Lock", file, "--name", "tone.caf", "--device-root", root.path()})
          .status,
      0);
  const std::vector<std::string> settings = {"settings", "--device-root", root.path(), "-"};

  Result refused =
      sim(settings, "set \"Lock sound\" \"Latch\"\nset \"Lock sound\" \"Knock.caf\"\n");
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(has(refused.err,
                  "-:2: row 'Lock sound' takes one of \"Latch.aiff\", \"tone.caf\" "
                  "(titled \"Latch\", \"tone\"), not \"Knock.caf\"\n"))
      << refused.err;
  EXPECT_TRUE(has(refused.out, "store Lock sound (kLockSound) = \"Latch.aiff\"\n"))
      << "a title chooses its value: " << refused.out;
  EXPECT_FALSE(has(refused.out, "Knock")) << refused.out;

  Result r = sim(settings, "tap \"Lock sound\"\nshow\ntap tone\nshow\nback\nshow\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.out,
                  "push PSListItemsController \"Lock sound\"\n"
                  "deselect Lock sound (animated)\n"
                  "Plinka \u203a Lock sound\n  ==\n"
                  "  Latch  (PSTableCell, checkmark)\n  tone  (PSTableCell)\n"
                  "select tone (animated)\n"
                  "store Lock sound (kLockSound) = \"tone.caf\"\n"
                  "deselect tone (animated)\n"
                  "Plinka \u203a Lock sound\n  ==\n"
                  "  Latch  (PSTableCell)\n  tone  (PSTableCell, checkmark)\n"
                  "pop PSListItemsController \"Lock sound\"\n"
                  "Plinka\n"))
      << r.out;
  EXPECT_TRUE(has(r.out, "      Lock sound: \"tone.caf\"  (PSTableCell, disclosure indicator)\n"))
      << r.out;

  expectLockPlays(root.path(), "tone.caf");
}

}  // namespace
