// `plinka-sim settings` on rows of every common type: what `set` takes from each (and why it
// refuses the rest), the list page a list row pushes and `back`, and which mistakes the check
// finds before anything runs (exit 2) and which only the run finds (exit 1).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "build_paths.h"
#include "program.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using Result = testing_support::ProgramRun;

// One row of each kind the tests need, stored in domain com.test.rows.
const char* const kRows = R"(<plist version="1.0"><dict><key>title</key><string>Rows</string>
<key>items</key><array>
<dict><key>cell</key><string>PSGroupCell</string><key>label</key><string>G</string></dict>
<dict><key>cell</key><string>PSSliderCell</string><key>label</key><string>Level</string>
  <key>key</key><string>level</string><key>defaults</key><string>com.test.rows</string>
  <key>default</key><real>0.25</real><key>min</key><integer>0</integer><key>max</key><integer>1</integer></dict>
<dict><key>cell</key><string>PSSliderCell</string><key>label</key><string>Steps</string>
  <key>key</key><string>steps</string><key>defaults</key><string>com.test.rows</string>
  <key>min</key><integer>0</integer><key>max</key><integer>4</integer>
  <key>isSegmented</key><true/><key>segmentCount</key><integer>4</integer></dict>
<dict><key>cell</key><string>PSSliderCell</string><key>label</key><string>Upside</string>
  <key>key</key><string>upside</string><key>defaults</key><string>com.test.rows</string>
  <key>min</key><integer>5</integer><key>max</key><integer>1</integer></dict>
<dict><key>cell</key><string>PSSegmentCell</string><key>label</key><string>Mode</string>
  <key>key</key><string>mode</string><key>defaults</key><string>com.test.rows</string>
  <key>validValues</key><array><integer>0</integer><integer>1</integer><integer>2</integer></array>
  <key>validTitles</key><array><string>Off</string><string>Quiet</string><string>Loud</string></array></dict>
<dict><key>cell</key><string>PSLinkListCell</string><key>label</key><string>Pick</string>
  <key>key</key><string>pick</string><key>defaults</key><string>com.test.rows</string>
  <key>validValues</key><array><string>A</string><string>B</string></array>
  <key>validTitles</key><array><string>B</string><string>C</string></array></dict>
<dict><key>cell</key><string>PSLinkListCell</string><key>label</key><string>Sound</string>
  <key>key</key><string>sound</string><key>defaults</key><string>com.test.rows</string>
  <key>default</key><string>Chime.caf</string>
  <key>validValues</key><array><string>Chime.caf</string><string>Bell.caf</string></array>
  <key>validTitles</key><array><string>Chime</string><string>Bell</string></array></dict>
<dict><key>cell</key><string>PSEditTextCell</string><key>label</key><string>Name</string>
  <key>key</key><string>name</string><key>defaults</key><string>com.test.rows</string></dict>
<dict><key>cell</key><string>PSTitleValueCell</string><key>label</key><string>Version</string></dict>
<dict><key>cell</key><string>PSStaticTextCell</string><key>label</key><string>Note</string></dict>
<dict><key>cell</key><string>PSButtonCell</string><key>label</key><string>Go</string></dict>
<dict><key>cell</key><string>PSSwichCell</string><key>label</key><string>Typo</string></dict>
<dict><key>cell</key><string>PSLinkCell</string><key>label</key><string>More</string>
  <key>detail</key><string>PSListController</string></dict>
<dict><key>cell</key><string>PSLinkCell</string><key>label</key><string>Broken</string>
  <key>detail</key><string>NSObject</string></dict>
<dict><key>cell</key><string>PSLinkCell</string><key>label</key><string>Act</string>
  <key>detail</key><string>PSListController</string><key>action</key><string>reloadSpecifier:</string></dict>
<dict><key>cell</key><string>PSLinkCell</string><key>label</key><string>Odd</string>
  <key>key</key><string>odd</string><key>defaults</key><string>com.test.rows</string>
  <key>detail</key><string>PSListItemsController</string>
  <key>validValues</key><array><integer>1</integer><integer>2</integer></array>
  <key>validTitles</key><array><string>One</string><string>Two</string></array></dict>
</array></dict></plist>)";

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class RowTypesCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { std::ofstream(rows_) << kRows; }
  Result run(const std::string& script, std::vector<std::string> options = {}) {
    std::vector<std::string> args = {"settings", "--device-root", root_.path(), "--rows", rows_};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back("-");
    return testing_support::runProgram(PLINKA_SIM, args, script);
  }
  // The values stored, in order, read from the JSON journal.
  std::vector<json> stores(const std::string& script) {
    Result r = run(script, {"--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<json> values;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
      json entry = json::parse(line);
      if (entry["kind"] == "store") values.push_back(entry["value"]);
    }
    return values;
  }
  // A script refused before it runs: status 2, these messages, nothing run or stored.
  void refused(const std::string& script, const std::string& messages) {
    SCOPED_TRACE(script);
    Result r = run(script);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, messages);
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(prefs())) << "nothing stored";
  }
  std::string prefs() const {
    return root_.path() + "/var/mobile/Library/Preferences/com.test.rows.plist";
  }
  testing_support::TemporaryFolder root_;
  testing_support::TemporaryFolder folder_;
  std::string rows_ = folder_.path() + "/Rows.plist";
};

TEST_F(RowTypesCommandTest, ASliderTakesANumberWithinItsBoundsBothIncluded) {
  refused("set Level 5\n", "-:1: row 'Level' takes a number from 0 to 1, not 5\n");
  refused("set Level -3\nset Level \"loud\"\nset Level 1.01\nset Level on\nset Level -0.5\n",
          "-:1: row 'Level' takes a number from 0 to 1, not -3\n"
          "-:2: row 'Level' takes a number from 0 to 1, not \"loud\"\n"
          "-:3: row 'Level' takes a number from 0 to 1, not 1.01\n"
          "-:4: row 'Level' takes a number from 0 to 1, not true\n"
          "-:5: row 'Level' takes a number from 0 to 1, not -0.5\n");
  refused("set Upside 3\n",
          "-:1: row 'Upside' takes no value: its min is above its max (5 to 1)\n");
  refused("set Level 0.8.1\n",
          "-:1: bad value '0.8.1': expected on, off, a number or a double-quoted string\n");
  // The bounds themselves are values; a segmented slider stands at its nearest stop.
  EXPECT_EQ(stores("set Level 0.8\nset Level 0\nset Level 1\nset Steps 2.6\nset Steps 0.4\n"),
            (std::vector<json>{0.8, 0.0, 1.0, 3.0, 0.0}));
}

TEST_F(RowTypesCommandTest, ASegmentOrListRowTakesAValueBeforeATitle) {
  refused("set Pick \"Z\"\nset Mode 7\nset Mode \"loud\"\n",
          "-:1: row 'Pick' takes one of \"A\", \"B\" (titled \"B\", \"C\"), not \"Z\"\n"
          "-:2: row 'Mode' takes one of 0, 1, 2 (titled \"Off\", \"Quiet\", \"Loud\"), not 7\n"
          "-:3: row 'Mode' takes one of 0, 1, 2 (titled \"Off\", \"Quiet\", \"Loud\"), not "
          "\"loud\"\n");
  // Pick's values are A and B, titled B and C: "B" is a value, so it is B, not A.
  EXPECT_EQ(stores("set Pick \"B\"\nset Pick \"C\"\nset Pick \"A\"\n"),
            (std::vector<json>{"B", "B", "A"}));
  EXPECT_EQ(stores("set Mode \"Loud\"\nset Mode 1\nset Mode off\nset Mode 2.0\n"),
            (std::vector<json>{2, 1, 0, 2}));
}

TEST_F(RowTypesCommandTest, ATextRowTakesAStringAndARowThatHoldsNoValueSaysItsType) {
  refused(
      "set Name 5\nset Version \"2\"\nset Note on\nset Go on\nset Typo on\nset More on\n"
      "set G on\n",
      "-:1: row 'Name' takes a \"double-quoted string\", not 5\n"
      "-:2: row 'Version' is a PSTitleValueCell row: it takes no value\n"
      "-:3: row 'Note' is a PSStaticTextCell row: it takes no value\n"
      "-:4: row 'Go' is a PSButtonCell row: it takes no value\n"
      "-:5: row 'Typo' is a plain row: it takes no value\n"
      "-:6: row 'More' is a PSLinkCell row: it takes no value\n"
      "-:7: row 'G' is a PSGroupCell row: it takes no value\n");
  // A text longer than the screen is the user's to type: stored whole, and drawn.
  std::string longText(400, 'x');
  std::string png = folder_.path() + "/pane.png";
  EXPECT_EQ(stores("set Name \"" + longText + "\"\n"), (std::vector<json>{longText}));
  Result drawn = run("show\n", {"--png", png});
  EXPECT_EQ(drawn.status, 0) << drawn.err;
  EXPECT_TRUE(fs::exists(png));
}

TEST_F(RowTypesCommandTest, AListRowPushesItsPageWhereATapStoresTheChoiceAndBackShowsIt) {
  Result r = run("tap Sound\nshow\ntap Bell\nshow\nback\nshow\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.out,
                  "select Sound (animated)\n"
                  "push PSListItemsController \"Sound\"\n"
                  "deselect Sound (animated)\n"
                  "Rows \u203a Sound\n"
                  "  ==\n"
                  "  Chime  (PSTableCell, checkmark)\n"
                  "  Bell  (PSTableCell)\n"
                  "select Bell (animated)\n"
                  "store Sound (sound) = \"Bell.caf\"\n"
                  "deselect Bell (animated)\n"
                  "Rows \u203a Sound\n"
                  "  ==\n"
                  "  Chime  (PSTableCell)\n"
                  "  Bell  (PSTableCell, checkmark)\n"
                  "pop PSListItemsController \"Sound\"\n"
                  "Rows\n"))
      << r.out;
  EXPECT_TRUE(has(r.out, "  Sound: \"Bell.caf\"  (PSTableCell, disclosure indicator)\n")) << r.out;

  // With --json the rows carry the page's path.
  Result j = run("tap Sound\nshow\n", {"--json"});
  ASSERT_EQ(j.status, 0) << j.err;
  std::string last = j.out.substr(j.out.rfind('\n', j.out.size() - 2) + 1);
  EXPECT_EQ(json::parse(last)["page"], json::parse(R"(["Rows", "Sound"])")) << last;

  // A link row's detail controller with no rows is an empty page.
  Result more = run("tap More\nshow\nback\n");
  ASSERT_EQ(more.status, 0) << more.err;
  EXPECT_TRUE(has(more.out,
                  "push PSListController \"More\"\ndeselect More (animated)\n"
                  "Rows \u203a More\npop PSListController \"More\"\n"))
      << more.out;
}

TEST_F(RowTypesCommandTest, APageIsCheckedWhereTheScriptCanForeseeItAndElseWhereItRuns) {
  // Nothing pushed: back is refused before anything runs.
  refused("back\n", "-:1: back: no page is pushed over the pane\n");
  refused("tap Sound\nback\nback\n", "-:3: back: no page is pushed over the pane\n");
  // A row with an action performs it and pushes nothing, whatever its detail.
  refused("tap Act\nback\n", "-:2: back: no page is pushed over the pane\n");

  struct Case {
    const char* script;
    const char* error;
    const char* printed;
  };
  const Case cases[] = {
      // Lines act on the page on top: the pane's rows are not on it.
      {"tap Sound\nset Level 0.5\n", "-:2: no row named 'Level' on the page 'Sound'\n",
       "push PSListItemsController \"Sound\""},
      {"tap Sound\ntap Nowhere\n", "-:2: no row named 'Nowhere' on the page 'Sound'\n",
       "push PSListItemsController \"Sound\""},
      {"tap Sound\nset Bell on\n", "-:2: row 'Bell' is a PSListItemCell row: it takes no value\n",
       "push PSListItemsController \"Sound\""},
      // A link row whose page the check cannot foresee: the second back is found when it runs.
      {"tap Odd\ntap Two\nback\nback\nshow\n", "-:4: back: no page is pushed over the pane\n",
       "store Odd (odd) = 2\n"},
      {"tap Broken\nshow\n", "-:1: row 'Broken': detail NSObject is no list controller\n",
       "push refused for Broken: detail NSObject (not a list controller)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    Result r = run(c.script);
    EXPECT_EQ(r.status, 1);
    // After the rows' own warnings (the misspelt cell type), the line that failed.
    EXPECT_TRUE(
        r.err.size() >= std::string(c.error).size() &&
        r.err.compare(r.err.size() - std::string(c.error).size(), std::string::npos, c.error) == 0)
        << r.err;
    EXPECT_TRUE(has(r.out, c.printed)) << r.out;
    EXPECT_FALSE(has(r.out, "Rows\n")) << "the script stopped at the failing line";
  }
}

// A data-source selector the controller does not answer: the device raises when the row's value
// is first shown, and so ends the Settings application.
TEST_F(RowTypesCommandTest, ADataSourceTheTargetDoesNotAnswerEndsTheApplication) {
  std::ofstream(rows_) << R"(<plist version="1.0"><dict><key>items</key><array>
    <dict><key>cell</key><string>PSLinkListCell</string><key>label</key><string>Tone</string>
      <key>key</key><string>tone</string><key>defaults</key><string>com.test.rows</string>
      <key>default</key><string>a</string><key>valuesDataSource</key><string>tones:</string></dict>
    </array></dict></plist>)";
  Result r = run("set Tone \"a\"\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err,
                  "the Settings application ended: uncaught exception "
                  "'NSInvalidArgumentException'"))
      << r.err;
  EXPECT_TRUE(has(r.err, "tones:")) << r.err;
  EXPECT_FALSE(fs::exists(prefs()));
}

}  // namespace
