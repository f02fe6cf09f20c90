// `plinka-sim settings` as its users see it: the script language, the exit statuses, the
// journal printed, the example pane, and the round trip to the home screen.
#include <gtest/gtest.h>

#include <stdlib.h>
#include "build_paths.h"
#include "program.h"
#include "temporary_folder.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;
using Lines = std::vector<std::string>;

using Result = testing_support::ProgramRun;

// Runs plinka-sim with `args`, feeding `input` on standard input.
Result sim(const std::vector<std::string>& args, const std::string& input = "") {
  return testing_support::runProgram(PLINKA_SIM, args, input);
}

// The journal's lines, without their time and without the "cell" entries of the cells the pane
// makes as it opens (the cells have tests of their own).
std::vector<json> jsonLines(const std::string& text) {
  std::vector<json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    json entry = json::parse(line);
    entry.erase("t");
    if (entry["kind"] == "cell") continue;
    lines.push_back(entry);
  }
  return lines;
}

const std::string kRows = std::string(PLINKA_SOURCE_DIR) + "/examples/settings/Root.plist";

class SettingsCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::copy(PLINKA_EXAMPLE_DEVICE, root_, fs::copy_options::recursive); }
  Result settings(const std::string& script, std::vector<std::string> options = {}) {
    std::vector<std::string> args = {"settings", "--device-root", root_.string(), "--rows", kRows};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back("-");
    return sim(args, script);
  }
  std::string prefsFile() const {
    return (root_ / "var/mobile/Library/Preferences/com.plinka.plinka3.plist").string();
  }
  std::string prefs() const {
    std::ifstream file(prefsFile(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  testing_support::TemporaryFolder folder_;
  fs::path root_ = folder_.path();
};

TEST_F(SettingsCommandTest, JsonLinesCarryEveryEntryOfTheJournal) {
  Result r = settings(
      "set Volume on\n"
      "set \"Play on authentication\" on   # outside 13.0 to 14.8\n"
      "set \"Respring mode\" 2\n"
      "set Enabled off\n",
      {"--json", "--system-version", "15.1"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<json> lines = jsonLines(r.out);
  ASSERT_EQ(lines.size(), 9u) << r.out;
  EXPECT_EQ(lines[0],
            json::parse(R"({"kind":"store","row":"Volume","key":"kCustomVolume","value":true})"));
  EXPECT_EQ(
      lines[1],
      json::parse(R"({"kind":"insert","after":"Volume","rows":["Volume sound"],"animated":true})"));
  EXPECT_EQ(lines[2]["value"], true);
  EXPECT_EQ(lines[3]["kind"], "present");
  EXPECT_EQ(lines[3]["title"], "Unsupported");
  EXPECT_EQ(lines[3]["actions"], json::parse(R"([{"title":"Close","style":1,"handler":false}])"));
  EXPECT_EQ(lines[4]["value"], false);
  EXPECT_EQ(lines[5],
            json::parse(R"({"kind":"reload","row":"Play on authentication","animated":true})"));
  EXPECT_EQ(
      lines[6],
      json::parse(R"({"kind":"store","row":"Respring mode","key":"kRespringMode","value":2})"));
  EXPECT_EQ(lines[7]["value"], false);
  EXPECT_EQ(lines[8]["kind"], "remove");
  EXPECT_EQ(lines[8]["rows"].size(), 17u) << "every row under the master switch";
}

TEST_F(SettingsCommandTest, ShowListsTheRowsShownWithTheirValues) {
  Result r = settings("set Unlock off\nshow\n", {"--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<json> lines = jsonLines(r.out);
  ASSERT_EQ(lines.size(), 3u);
  const json& rows = lines[2]["rows"];
  Lines labels;
  for (const json& row : rows) labels.push_back(row["label"]);
  EXPECT_EQ(std::count(labels.begin(), labels.end(), "Unlock sound"), 0);
  EXPECT_EQ(std::count(labels.begin(), labels.end(), "Volume sound"), 0) << "volume is off";
  EXPECT_EQ(rows[1],
            json::parse(R"({"label":"Enabled","key":"kEnabledPK","cell":"PSSwitchCell","value":true,
                      "class":"PSSwitchTableCell","style":0,"detail":null,"accessory":null,
                      "accessoryType":0,"selectionStyle":0})"));
  EXPECT_EQ(
      rows[4],
      json::parse(
          R"({"label":"Charge sound","key":"kChargeSound","cell":"PSLinkListCell","value":"Power Up.caf",
              "class":"PSTableCell","style":0,"detail":null,"accessory":null,
              "accessoryType":1,"selectionStyle":3})"))
      << "a row that leads somewhere shows a disclosure";

  r = settings("show\n");
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("  Enabled: on  (PSSwitchTableCell, selection none)\n    == Events ==\n"
                       "    Charge: on  (PSSwitchTableCell, selection none)\n      Charge sound: "
                       "\"Power Up.caf\"  (PSTableCell, "
                       "disclosure indicator)\n"),
            std::string::npos)
      << r.out;
}

TEST_F(SettingsCommandTest, ABadLineRunsNothingAndExitsTwo) {
  std::string before = prefs();
  Result r =
      settings("set Volume on\nsett Volume off\nset Nowhere on\nset Volume maybe\nset Volume\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "-:2: unknown command 'sett'\n"
            "-:3: no row named 'Nowhere'\n"
            "-:4: bad value 'maybe': expected on, off, a number or a double-quoted string\n"
            "-:5: set takes a row and a value: set ROW VALUE\n");
  EXPECT_EQ(prefs(), before) << "nothing ran";

  // Without --rows the command opens the pane installed on the device: with none, it cannot.
  fs::remove_all(root_ / "var/LIY/PreferenceLoader");
  EXPECT_EQ(sim({"settings", "--device-root", root_.string(), "-"}).status, 2)
      << "no --rows and no pane installed";
  Result missing = sim({"settings", "--device-root", root_.string(), "--rows",
                        (root_ / "missing.plist").string(), "-"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("no such file"), std::string::npos);
}

// An output that cannot be written is found before the script runs: no line runs, nothing is
// stored, and the message names the file and why.
TEST_F(SettingsCommandTest, APictureThatCannotBeWrittenStopsTheRunBeforeItStarts) {
  std::string before = prefs();
  std::ofstream(root_ / "plain") << "a file, not a folder";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {(root_ / "no/such/folder/pane.png").string(),
       "no folder " + (root_ / "no/such/folder").string()},
      {(root_ / "plain/pane.png").string(), (root_ / "plain").string() + " is not a folder"},
      {root_.string(), "it is a folder"},
  };
  for (const auto& [png, why] : cases) {
    Result r = settings("set Volume off\nshow\n", {"--png", png});
    EXPECT_EQ(r.status, 1) << png;
    EXPECT_EQ(r.out, "") << "nothing ran";
    EXPECT_EQ(r.err, "plinka-sim settings: cannot write " + png + ": " + why + "\n");
    EXPECT_EQ(prefs(), before) << png;
  }
  Result written = settings("set Volume off\n", {"--png", (root_ / "pane.png").string()});
  EXPECT_EQ(written.status, 0) << written.err;
  EXPECT_TRUE(fs::exists(root_ / "pane.png"));
}

// Bytes that are not text: a row list holding them is no property list, and a script line
// holding them is a bad line. (A sweep once crashed the command on such a row list.)
TEST_F(SettingsCommandTest, RowsOrScriptsThatAreNotTextAreRefusedWithTheirReason) {
  std::ifstream in(kRows, std::ios::binary);
  std::string rows((std::istreambuf_iterator<char>(in)), {});
  rows.replace(rows.find("Enabled"), 1, "\xC5");
  fs::path broken = root_ / "Root.plist";
  std::ofstream(broken, std::ios::binary) << rows;
  Result r =
      sim({"settings", "--device-root", root_.string(), "--rows", broken.string(), "-"}, "show\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("is not a property list"), std::string::npos) << r.err;

  std::string before = prefs();
  r = settings("set Volume on\nset kLockSound \"Latch\xFF.aiff\"\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "-:2: the line is not UTF-8 text\n");
  EXPECT_EQ(prefs(), before) << "nothing ran";
}

TEST_F(SettingsCommandTest, ASwitchTakesThePositionItsValueReadsAs) {
  Result r = settings("set Volume 1\nset Volume 1\nset Charge \"no\"\n", {"--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<json> lines = jsonLines(r.out);
  ASSERT_EQ(lines.size(), 4u) << "the second change leaves the switch as it is: no call";
  EXPECT_EQ(lines[0]["value"], true);
  EXPECT_EQ(lines[2],
            json::parse(R"({"kind":"store","row":"Charge","key":"kCustomCharge","value":false})"));
}

TEST_F(SettingsCommandTest, ChangingARowThatIsNotShownFailsThere) {
  Result r = settings("set Enabled off\nset Charge off\nset Enabled on\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "-:2: row 'Charge' is not shown\n");
  EXPECT_NE(r.out.find("store Enabled (kEnabledPK) = off"), std::string::npos);
  EXPECT_EQ(r.out.find("store Enabled (kEnabledPK) = on"), std::string::npos) << "it stopped";
}

TEST_F(SettingsCommandTest, TheExamplePaneWritesTheKeysTheTweakReads) {
  Result r = sim({"settings", "--device-root", root_.string(), "--rows", kRows, "--json",
                  std::string(PLINKA_SOURCE_DIR) + "/examples/settings/demo.settings"});
  ASSERT_EQ(r.status, 0) << r.err;
  r = settings("show\n", {"--json"});
  std::vector<json> lines = jsonLines(r.out);
  ASSERT_EQ(lines.size(), 1u);
  std::set<std::string> keys;
  for (const json& row : lines[0]["rows"]) {
    if (row["key"].is_string()) keys.insert(row["key"]);
  }
  EXPECT_EQ(keys,
            (std::set<std::string>{"kEnabledPK", "kCustomCharge", "kChargeSound", "kCustomKeyboard",
                                   "kKeyboardSound", "kCustomLock", "kLockSound", "kCustomPasscode",
                                   "kPasscodeSound", "kCustomRespring", "kRespringSound",
                                   "kRespringMode", "kCustomUnlock", "kUnlockSound", "kAutoUnlockX",
                                   "kCustomVolume", "kVolumeSound"}));
}

TEST_F(SettingsCommandTest, ASettingChangedHereIsHeardAtTheNextLaunch) {
  auto volumeSounds = [&] {
    Result r = sim({"springboard", "--device-root", root_.string(), "--json", "-"},
                   "launch\nvolume up 1\n");
    EXPECT_EQ(r.status, 0) << r.err;
    int plays = 0;
    for (const json& entry : jsonLines(r.out)) {
      if (entry["kind"] == "sound-play" &&
          entry.value("path", "").find("/Volume/") != std::string::npos) {
        ++plays;
      }
    }
    return plays;
  };
  EXPECT_EQ(volumeSounds(), 0);
  ASSERT_EQ(settings("set Volume on\n").status, 0);
  EXPECT_EQ(volumeSounds(), 1);
}

TEST_F(SettingsCommandTest, TheAboutRowsShowTheirCellsAndOpenTheirAddressesWhenTapped) {
  Result r = settings("show\ntap Website\ntap Developer\ntap \"Plinka 3.0.0\"\n", {"--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<json> lines = jsonLines(r.out);
  ASSERT_FALSE(lines.empty());
  json about = json::array();
  for (const json& row : lines[0]["rows"]) {
    if (row["class"].is_string() && row["class"].get<std::string>().rfind("ZEL", 0) == 0)
      about.push_back(row);
  }
  EXPECT_EQ(about, json::parse(R"([
    {"label":"Plinka 3.0.0","key":null,"cell":"PSButtonCell","value":null,"class":"ZELButtonCell",
     "style":3,"detail":"A sound for every event","accessory":null,"accessoryType":0,"selectionStyle":1},
    {"label":"Website","key":null,"cell":"PSButtonCell","value":null,"class":"ZELLinkCell",
     "style":3,"detail":"Source code and issues","accessory":"safari","accessoryType":0,"selectionStyle":3},
    {"label":"Chat","key":null,"cell":"PSButtonCell","value":null,"class":"ZELDiscordCell",
     "style":3,"detail":"Join the Plinka server","accessory":"discord","accessoryType":0,"selectionStyle":3},
    {"label":"Developer","key":null,"cell":"PSButtonCell","value":null,"class":"ZELTwitterCell",
     "style":3,"detail":"@plinka_dev","accessory":"twitter","accessoryType":0,"selectionStyle":3}])"))
      << "the example bundle's images were drawn at build time";
  std::vector<json> opened;
  for (const json& line : lines) {
    if (line["kind"] == "open-url" || line["kind"] == "can-open") opened.push_back(line);
  }
  EXPECT_EQ(opened,
            (std::vector<json>{
                json::parse(R"({"kind":"open-url","url":"https://plinka.example.org/"})"),
                json::parse(R"({"kind":"can-open","url":"aphelion://","answer":false})"),
                json::parse(R"({"kind":"can-open","url":"tweetbot://","answer":true})"),
                json::parse(R"({"kind":"open-url","url":"tweetbot:///user_profile/plinka_dev"})")}))
      << "the example device has one client app installed";

  r = settings("tap Chat\n");
  EXPECT_EQ(r.out,
            "cell Plinka 3.0.0: ZELButtonCell (style 0)\ncell Website: ZELLinkCell (style 0)\n"
            "cell Chat: ZELDiscordCell (style 0)\ncell Developer: ZELTwitterCell (style 0)\n"
            "select Chat (animated)\nopen https://discord.gg/plinka\ndeselect Chat (animated)\n");
}

TEST_F(SettingsCommandTest, TappingARowThatIsNotShownFailsThere) {
  Result r = settings("set Enabled off\ntap \"Charge sound\"\nset Enabled on\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "-:2: row 'Charge sound' is not shown\n");
  EXPECT_EQ(settings("tap\n").status, 2);
}

TEST_F(SettingsCommandTest, AnExceptionThePlatformRaisesEndsTheRunWithItsNameAndReason) {
  fs::path rows = root_ / "Rows.plist";
  std::ofstream(rows) << R"(<plist version="1.0"><dict><key>items</key><array>
    <dict><key>cell</key><string>PSButtonCell</string><key>label</key><string>Respring</string>
          <key>action</key><string>respring:</string></dict>
    <dict><key>cell</key><string>PSButtonCell</string><key>label</key><string>Ghost</string>
          <key>cellClass</key><string>NoSuchCell</string></dict>
    </array></dict></plist>)";
  Result r = sim({"settings", "--device-root", root_.string(), "--rows", rows.string(), "-"},
                 "tap Ghost\ntap Respring\nshow\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "plinka-sim settings: row Ghost: cellClass NoSuchCell (no such class); the "
            "framework's cell instead\n"
            "plinka-sim settings: -:2: the Settings application ended: uncaught exception "
            "'NSInvalidArgumentException', reason: '-[ZELPreferenceController respring:]: "
            "unrecognized selector sent to instance'\n");
  EXPECT_EQ(r.out,
            "cell Ghost: no cell class NoSuchCell (no such class), the framework's cell instead\n"
            "select Ghost (animated)\ndeselect Ghost (animated)\nselect Respring (animated)\n")
      << "what happened before the exception is printed, and nothing after it runs";
}

TEST_F(SettingsCommandTest, ATypoInARowsCellTypeIsReportedLikeOneInItsCellClass) {
  fs::path rows = root_ / "Typo.plist";
  std::ofstream(rows) << R"(<plist version="1.0"><dict><key>items</key><array>
    <dict><key>cell</key><string>PSSwichCell</string><key>label</key><string>Typo</string></dict>
    </array></dict></plist>)";
  Result r =
      sim({"settings", "--device-root", root_.string(), "--rows", rows.string(), "-"}, "show\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "plinka-sim settings: row Typo: cell PSSwichCell (no such cell type); shown as a "
            "plain row\n");
  EXPECT_EQ(r.out,
            "cell Typo: no cell type PSSwichCell (no such cell type), a plain row\n  Typo  "
            "(PSTableCell)\n");
}

// A line names a row by its label first, then by its key; a name two rows share is refused.
TEST_F(SettingsCommandTest, ALineNamesARowByLabelThenByKeyAndNeverOneOfTwo) {
  fs::path rows = root_ / "Names.plist";
  auto row = [](const std::string& label, const std::string& key) {
    return "<dict><key>cell</key><string>PSSwitchCell</string><key>label</key><string>" + label +
           "</string><key>key</key><string>" + key +
           "</string><key>defaults</key><string>com.plinka.names</string></dict>";
  };
  std::ofstream(rows) << "<plist version=\"1.0\"><dict><key>items</key><array>" +
                             row("Alpha", "Beta") + row("Beta", "kBeta") + row("Twin", "kOne") +
                             row("Twin", "kTwo") + row("Gamma", "kGamma") +
                             "</array></dict></plist>";
  auto run = [&](const std::string& script) {
    return sim({"settings", "--device-root", root_.string(), "--rows", rows.string(), "-"}, script);
  };
  Result r = run("set Beta on\nset kGamma on\nshow\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("  Alpha: off "), std::string::npos) << "'Beta' is a label first: " << r.out;
  EXPECT_NE(r.out.find("  Beta: on "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  Gamma: on "), std::string::npos) << "found by its key: " << r.out;
  r = run("set Twin on\nset kTwo on\nset Delta on\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "-:1: 'Twin' names 2 rows\n-:3: no row named 'Delta'\n");
}

}  // namespace

namespace {

// A long row list: a group, then blocks of ten rows, each led by a switch owning the next four
// (on in every other block); labels "row N".
std::string longRowList(int rows) {
  std::string text = R"(<plist version="1.0"><dict><key>title</key><string>Long</string>)"
                     R"(<key>items</key><array><dict><key>cell</key><string>PSGroupCell</string>)"
                     R"(<key>label</key><string>Group</string></dict>)";
  for (int i = 1; i < rows; ++i) {
    std::string label = "<key>label</key><string>row " + std::to_string(i) + "</string>";
    if (i % 10 == 1) {
      text += "<dict><key>cell</key><string>PSSwitchCell</string>" + label +
              "<key>key</key><string>k" + std::to_string(i) +
              "</string><key>defaults</key><string>com.plinka.long</string><key>default</key>" +
              (i % 20 == 1 ? "<true/>" : "<false/>") +
              "<key>nestedEntryCount</key><integer>4</integer></dict>";
    } else {
      text += "<dict><key>cell</key><string>PSStaticTextCell</string>" + label + "</dict>";
    }
  }
  return text + "</array></dict></plist>";
}

TEST_F(SettingsCommandTest, ShowOnALongPaneWritesEveryShownRowInOrderAsOneEntry) {
  constexpr int kRows = 3001;
  fs::path rows = root_ / "Long.plist";
  std::ofstream(rows) << longRowList(kRows);
  Lines expected;  // the labels shown: the rows of an off owner are hidden
  for (int i = 1; i < kRows; ++i) {
    int owner = i - (i - 1) % 10;
    bool hidden = i != owner && i - owner <= 4 && owner % 20 != 1;
    if (!hidden) expected.push_back("row " + std::to_string(i));
  }
  Result r =
      sim({"settings", "--json", "--device-root", root_.string(), "--rows", rows.string(), "-"},
          "show\nset \"row 11\" on\nshow\n");
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<json> lines = jsonLines(r.out);
  ASSERT_EQ(lines.size(), 4u);
  for (size_t show : {0u, 3u}) {
    ASSERT_EQ(lines[show]["kind"], "rows");
    Lines labels;
    for (const json& row : lines[show]["rows"]) labels.push_back(row["label"]);
    EXPECT_EQ(labels.front(), "Group");
    labels.erase(labels.begin());
    if (show == 3) {
      auto after = std::find(expected.begin(), expected.end(), "row 11") + 1;
      expected.insert(after, {"row 12", "row 13", "row 14", "row 15"});
    }
    EXPECT_EQ(labels, expected) << "show " << show;
  }
  EXPECT_EQ(lines[3]["rows"][12],
            json::parse(R"({"label":"row 12","key":null,"cell":"PSStaticTextCell","value":null,
                      "class":"PSTableCell","style":0,"detail":null,"accessory":null,
                      "accessoryType":0,"selectionStyle":3})"))
      << "a cell made when its row is first shown";

  r = sim({"settings", "--device-root", root_.string(), "--rows", rows.string(), "-"}, "show\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("Long\n  == Group ==\n  row 1: on  (PSSwitchTableCell, selection none)\n"
                        "    row 2  (PSTableCell)\n",
                        0),
            0u)
      << r.out.substr(0, 300);
  EXPECT_NE(r.out.find("\n  row 2981: on  (PSSwitchTableCell, selection none)\n    row 2982  "
                       "(PSTableCell)\n    row 2983  (PSTableCell)\n    row 2984  (PSTableCell)\n"
                       "    row 2985  (PSTableCell)\n  row 2986  (PSTableCell)\n"),
            std::string::npos);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), static_cast<long>(expected.size()) + 2)
      << "the title, the group, and each row once (row 11 stays on from the run before)";
}

TEST_F(SettingsCommandTest, BackReturnsFromThePageATapPushedAndIsRefusedOnThePaneItself) {
  Result r = settings("tap \"Charge sound\"\nback\n", {"--json"});
  EXPECT_EQ(r.status, 0) << r.err;
  Lines kinds;
  for (const json& line : jsonLines(r.out)) {
    if (line["kind"] == "push" || line["kind"] == "pop") kinds.push_back(line["kind"]);
  }
  EXPECT_EQ(kinds, (Lines{"push", "pop"}));
  // A second back would leave the pane itself: the check sees it before anything runs.
  Result twice = settings("tap \"Charge sound\"\nback\nback\n", {"--json"});
  EXPECT_EQ(twice.status, 2);
  EXPECT_EQ(twice.err, "-:3: back: no page is pushed over the pane\n");
  EXPECT_EQ(twice.out, "");
  EXPECT_EQ(settings("back now\n").status, 2);
}

}  // namespace
