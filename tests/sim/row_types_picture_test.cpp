// `plinka-sim settings --png` for the controls of each row type: a segmented control's selected
// segment and a slider's thumb, found at the places an iPhone XR's Settings application puts
// them (414 x 896 points at 2x; navigation bar 44 pt, a titled section header 55.5 pt, rows
// 44 pt, 16 pt margins, a segmented control 32 pt high whose selected plate is inset 2 pt, a
// slider whose 28 pt thumb meets the track's ends at its bounds).
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "build_paths.h"
#include "png_picture.h"
#include "program.h"
#include "temporary_folder.h"

namespace {

using testing_support::Pixel;
using Picture = testing_support::PngPicture;

// The picture drawn for the test's screen, 2 pixels a point.
Picture readPicture(const std::string& path) {
  return testing_support::readPng(path, 2);
}

bool near(const Pixel& a, const Pixel& b, int slack = 6) {
  for (int i = 0; i < 3; ++i) {
    if (std::abs(a[i] - b[i]) > slack) return false;
  }
  return true;
}
std::string show(const Pixel& p) {
  return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
}

const Pixel kWhite = {255, 255, 255};
const Pixel kSegmentPlate = {0xEF, 0xEF, 0xF0};  // tertiarySystemFill over white
const Pixel kBlue = {0, 0x7A, 0xFF};             // systemBlue
const Pixel kTrack = {0xE4, 0xE4, 0xE6};         // systemFill, #787880 at 20%, on white

class RowTypesPictureTest : public ::testing::Test {
 protected:
  // Draws a titled section holding a segment row (values 0, 1, 2, `segment` stored) and a
  // slider row over [0, 10] at `slider`.
  Picture draw(int segment, double slider, const std::string& script = "show\n") {
    std::string rows = folder_.path() + "/Rows.plist";
    std::ofstream(rows) << R"(<plist version="1.0"><dict><key>title</key><string>T</string>
      <key>items</key><array>
      <dict><key>cell</key><string>PSGroupCell</string><key>label</key><string>G</string></dict>
      <dict><key>cell</key><string>PSSegmentCell</string><key>label</key><string>Mode</string>
        <key>key</key><string>mode</string><key>defaults</key><string>com.test.pic</string>
        <key>default</key><integer>)"
                        << segment << R"(</integer>
        <key>validValues</key><array><integer>0</integer><integer>1</integer><integer>2</integer></array>
        <key>validTitles</key><array><string>A</string><string>B</string><string>C</string></array></dict>
      <dict><key>cell</key><string>PSSliderCell</string><key>label</key><string>Level</string>
        <key>key</key><string>level</string><key>defaults</key><string>com.test.pic</string>
        <key>default</key><real>)"
                        << slider << R"(</real>
        <key>min</key><integer>0</integer><key>max</key><integer>10</integer></dict>
      <dict><key>cell</key><string>PSLinkListCell</string><key>label</key><string>Sound</string>
        <key>key</key><string>sound</string><key>defaults</key><string>com.test.pic</string>
        <key>default</key><string>b</string>
        <key>validValues</key><array><string>a</string><string>b</string></array></dict>
      </array></dict></plist>)";
    std::string png = folder_.path() + "/pane.png";
    testing_support::ProgramRun run = testing_support::runProgram(
        PLINKA_SIM, {"settings", "--machine", "iPhone11,8", "--rows", rows, "--png", png, "-"},
        script);
    EXPECT_EQ(run.status, 0) << run.err;
    Picture picture = readPicture(png);
    EXPECT_EQ(picture.width, 828u);
    return picture;
  }
  testing_support::TemporaryFolder folder_;
};

// The segment row: top 44 + 55.5 = 99.5, the control from y 105.5 to 137.5 and x 16 to 398,
// each of its three segments 382 / 3 wide; 4 pt inside a segment's corner lies its plate.
TEST_F(RowTypesPictureTest, TheSelectedSegmentHasTheWhitePlate) {
  const double segment = 382.0 / 3;
  for (int selected : {0, 2}) {
    Picture picture = draw(selected, 0);
    ASSERT_FALSE(picture.rows.empty());
    for (int i = 0; i < 3; ++i) {
      Pixel p = picture.at(16 + segment * i + 5, 105.5 + 5);
      EXPECT_TRUE(near(p, i == selected ? kWhite : kSegmentPlate))
          << "segment " << i << " with " << selected << " selected: " << show(p);
    }
  }
}

// The slider row: centre y 143.5 + 22 = 165.5; the thumb's centre runs from 16 + 14 = 30 at 0 to
// 398 - 14 = 384 at 10.
TEST_F(RowTypesPictureTest, TheThumbStandsAtTheValue) {
  for (auto [value, centre] : {std::pair{7.5, 295.5}, {2.5, 118.5}, {0.0, 30.0}, {10.0, 384.0}}) {
    Picture picture = draw(0, value);
    ASSERT_FALSE(picture.rows.empty());
    EXPECT_TRUE(near(picture.at(centre, 165.5), kWhite))
        << "thumb at " << value << ": " << show(picture.at(centre, 165.5));
    if (centre - 20 > 16) {
      EXPECT_TRUE(near(picture.at(centre - 20, 165.5), kBlue))
          << "track before the thumb at " << value << ": " << show(picture.at(centre - 20, 165.5));
    }
    if (centre + 20 < 398) {
      EXPECT_TRUE(near(picture.at(centre + 20, 165.5), kTrack))
          << "track after the thumb at " << value << ": " << show(picture.at(centre + 20, 165.5));
    }
  }
}

// A list row's page, pushed: the navigation bar gets a back button, a blue chevron 8 pt from the
// left edge whose point stands at the bar's middle (x 9.5, y 22); under the bar an untitled
// section (35 pt) and the choices' white rows from y 79. The pane itself has neither: its bar is
// plain and a titled header (grey) stands where the page's first row is.
TEST_F(RowTypesPictureTest, APushedPageIsDrawnOnTopWithItsBackButton) {
  const Pixel kBackground = {0xF2, 0xF2, 0xF7};  // systemGroupedBackground
  Picture pane = draw(0, 0, "tap Sound\nback\n");
  ASSERT_FALSE(pane.rows.empty());
  EXPECT_FALSE(near(pane.at(9.5, 22), kBlue, 60)) << show(pane.at(9.5, 22));
  EXPECT_TRUE(near(pane.at(200, 90), kBackground)) << show(pane.at(200, 90));

  Picture page = draw(0, 0, "tap Sound\n");
  ASSERT_FALSE(page.rows.empty());
  EXPECT_TRUE(near(page.at(9.5, 22), kBlue, 40)) << show(page.at(9.5, 22));
  EXPECT_TRUE(near(page.at(200, 90), kWhite)) << show(page.at(200, 90));
}

}  // namespace
