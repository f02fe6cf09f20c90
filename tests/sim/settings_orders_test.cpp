// plinka-sim settings --explore and --kill-points as their users run them: the number of orders
// a known script has, what an order that ends differently prints, the refusals, the cap and the
// random orders; the kill points of picks and of a stored value, and what they find.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "build_paths.h"
#include "program.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using Result = testing_support::ProgramRun;

const std::string kPictures = std::string(PLINKA_SOURCE_DIR) + "/examples/settings/Pictures.plist";
const std::string kRoot = std::string(PLINKA_SOURCE_DIR) + "/examples/settings/Root.plist";

// Two picks on one row, held, as a user makes them faster than the platform delivers.
std::string twoPicks(const std::string& row, const std::string& first, const std::string& second) {
  return "hold\ntap \"" + row + "\"\npick " + first + "\ntap \"" + row + "\"\npick " + second +
         "\n";
}

std::string lastLine(const std::string& text) {
  std::string trimmed = text.substr(0, text.find_last_not_of('\n') + 1);
  return trimmed.substr(trimmed.find_last_of('\n') + 1);
}

class SettingsOrdersTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::copy(PLINKA_EXAMPLE_DEVICE, root_, fs::copy_options::recursive); }
  Result settings(const std::vector<std::string>& mode, const std::string& script,
                  const std::string& rows = kPictures) {
    std::vector<std::string> args = {"settings", "--device-root", root_.string(), "--rows", rows};
    args.insert(args.end(), mode.begin(), mode.end());
    args.push_back("-");
    return testing_support::runProgram(PLINKA_SIM, args, script);
  }
  // Every file under the device root with its bytes, to show a run left it as it was.
  std::vector<std::pair<std::string, std::string>> files() const {
    std::vector<std::pair<std::string, std::string>> all;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
      if (entry.is_directory()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      all.emplace_back(entry.path().string(), std::string(std::istreambuf_iterator<char>(in), {}));
    }
    std::sort(all.begin(), all.end());
    return all;
  }

  testing_support::TemporaryFolder folder_;
  fs::path root_ = fs::path(folder_.path()) / "device";
};

// A video's five items (its export session on the image manager's serial queue, the export,
// its completion, the main-queue block that puts it in place, the one that shows its frame)
// and a picture's three (the reading, the main-queue delivery, the preview) interleave in 22
// orders once the main queue keeps its order; two pictures' six items in 6. An explorer that
// reordered only what waits at the start, or let the main queue run out of order, counts
// otherwise. The newest pick wins in every order, so each ends as the user's order does; and
// the device root given is copied, never changed.
TEST_F(SettingsOrdersTest, ExploreRunsEveryOrderOfTheHeldWorkAndEachEndsAsTheUserMeant) {
  auto before = files();
  Result videoThenPicture =
      settings({"--explore"}, twoPicks("Unlock background", "IMG_0004.MOV", "IMG_0002.JPG"));
  EXPECT_EQ(videoThenPicture.status, 0) << videoThenPicture.out << videoThenPicture.err;
  EXPECT_EQ(videoThenPicture.out,
            "22 orders run, 1 end state: every order ends as the user's order does\n");
  Result twoPictures =
      settings({"--explore"}, twoPicks("Lock picture", "IMG_0002.JPG", "IMG_0003.PNG"));
  EXPECT_EQ(twoPictures.status, 0) << twoPictures.err;
  EXPECT_EQ(twoPictures.out,
            "6 orders run, 1 end state: every order ends as the user's order does\n");
  EXPECT_EQ(files(), before);
}

// Held work runs, in every order, where the script runs it all: the two picks before the
// release interleave in their 6 orders; the pick after it, no longer held, runs in the user's
// order after its line. (Were the release no place where held work runs, the third pick's work
// would wait and interleave with theirs, in many more orders.)
TEST_F(SettingsOrdersTest, HeldWorkIsExploredWhereTheScriptRunsItAll) {
  Result run = settings({"--explore"}, twoPicks("Lock picture", "IMG_0002.JPG", "IMG_0003.PNG") +
                                           "release\ntap \"Lock picture\"\npick IMG_0005.GIF\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "6 orders run, 1 end state: every order ends as the user's order does\n");
}

// Held work that runs only after the disk has filled cannot store what the user's order
// stored before: every order ends differently, each printed with its items and the difference.
TEST_F(SettingsOrdersTest, AnOrderThatEndsDifferentlyIsPrintedWithItsDifference) {
  Result run = settings({"--explore"},
                        "hold\ntap \"Lock picture\"\npick IMG_0002.JPG\n"
                        "fault disk full\n");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(lastLine(run.out),
            "1 order run, 1 end state: 1 order ends differently from the user's order (none "
            "ends as it does)");
  EXPECT_NE(run.out.find("order 1 ends differently: 1 reading of IMG_0002.JPG, 2 image data of "
                         "IMG_0002.JPG\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("  /var/mobile/Library/Preferences/com.plinka.plinka3.plist › "
                         "kLockPicture: jpeg, "),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(" in the user's order; nothing here\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  preview Lock picture: picture 640x480 in the user's order; none "
                         "here\n"),
            std::string::npos)
      << run.out;
}

TEST_F(SettingsOrdersTest, ExploreRefusesWhatItCannotExploreAndStopsAtItsCap) {
  Result unheld = settings({"--explore"}, "tap \"Lock picture\"\npick IMG_0002.JPG\n");
  EXPECT_EQ(unheld.status, 2);
  EXPECT_NE(unheld.err.find("the script holds nothing"), std::string::npos) << unheld.err;
  EXPECT_EQ(unheld.out, "");
  Result nothingHeld = settings({"--explore"}, "hold\nset \"Lock picture\" on\n", kRoot);
  EXPECT_EQ(nothingHeld.status, 2) << nothingHeld.err;
  Result runOne = settings({"--explore"}, "hold\ntap \"Lock picture\"\npick IMG_0002.JPG\nrun 1\n");
  EXPECT_EQ(runOne.status, 2);
  EXPECT_NE(runOne.err.find("line 4: --explore runs the held work in every order itself"),
            std::string::npos)
      << runOne.err;
  Result bad = settings({"--explore"}, "hold\ntap Nowhere\n");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("-:2: no row named 'Nowhere'"), std::string::npos) << bad.err;

  Result capped = settings({"--explore", "--max-orders", "2"},
                           twoPicks("Lock picture", "IMG_0002.JPG", "IMG_0003.PNG"));
  EXPECT_EQ(capped.status, 2);
  EXPECT_EQ(capped.out, "2 orders run, 1 end state so far\n");
  EXPECT_NE(capped.err.find("stopped after 2 orders (--max-orders): more remain"),
            std::string::npos)
      << capped.err;
  // Exactly as many orders as there are is no stop: one pick's work runs in one order.
  Result enough = settings({"--explore", "--max-orders", "1"},
                           "hold\ntap \"Lock picture\"\npick IMG_0002.JPG\n");
  EXPECT_EQ(enough.status, 0) << enough.err;
  EXPECT_EQ(enough.out, "1 order run, 1 end state: every order ends as the user's order does\n");

  for (std::vector<std::string> wrong : {std::vector<std::string>{"--explore", "--kill-points"},
                                         {"--sample", "3"},
                                         {"--explore", "--seed", "3"},
                                         {"--explore", "--max-orders", "0"},
                                         {"--explore", "--json"}}) {
    EXPECT_EQ(settings(wrong, "hold\n").status, 2) << wrong[0] << " " << wrong[1];
  }
}

// --sample with --seed: the same seed runs the same orders, another seed others.
TEST_F(SettingsOrdersTest, SampledOrdersAreRepeatableBySeed) {
  std::string script = twoPicks("Lock picture", "IMG_0002.JPG", "IMG_0003.PNG");
  Result first = settings({"--explore", "--sample", "3", "--seed", "7"}, script);
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out,
            "3 random orders run (seed 7), 1 end state: every order ends as the user's order "
            "does\n");
  // With the disk full before the work runs every order differs, and shows which it was.
  std::string failing = script + "fault disk full\n";
  Result a = settings({"--explore", "--sample", "2", "--seed", "11"}, failing);
  Result b = settings({"--explore", "--sample", "2", "--seed", "11"}, failing);
  EXPECT_EQ(a.status, 1) << a.err;
  EXPECT_EQ(a.out, b.out);
}

// A kill before any file effect of a picture, then of a video after it, then of a stored
// value: the settings file always reads back, and the row holds, whole, the choice before the
// step under way or the one it made. (The picker once removed the stored picture before the
// video was in place: a kill between the two left the row with nothing.) A killed export
// leaves its file beside the video, which is listed as a leftover.
TEST_F(SettingsOrdersTest, KillPointsFindNoViolationInPicksOrAStoredValue) {
  Result picks =
      settings({"--kill-points"}, twoPicks("Unlock background", "IMG_0002.JPG", "IMG_0004.MOV"));
  EXPECT_EQ(picks.status, 0) << picks.out << picks.err;
  EXPECT_EQ(picks.out.find("violation:"), std::string::npos) << picks.out;
  EXPECT_EQ(picks.out.substr(0, picks.out.find('\n')),
            "15 file effects; the run killed before each in turn:");
  EXPECT_NE(picks.out.find("(write /var/mobile/Library/Plinka/UnlockBackground.mov.export-PID-1)"
                           ": warning: left over: /var/mobile/Library/Plinka/"
                           "UnlockBackground.mov.export-"),
            std::string::npos)
      << picks.out;
  EXPECT_EQ(lastLine(picks.out), "15 kill points: no violation, 12 with leftovers");

  Result stored = settings({"--kill-points"}, "set \"Lock\" off\n", kRoot);
  EXPECT_EQ(stored.status, 0) << stored.out << stored.err;
  EXPECT_EQ(stored.out.substr(0, stored.out.find('\n')),
            "4 file effects; the run killed before each in turn:");
  EXPECT_NE(stored.out.find("effect 4 (rename /var/mobile/Library/Preferences/"
                            "com.plinka.plinka3.plist): warning: left over: "),
            std::string::npos)
      << stored.out;
  EXPECT_EQ(lastLine(stored.out), "4 kill points: no violation, 3 with leftovers");
}

}  // namespace
