// `plinka-sim settings --png` for the controls of each row type: a segmented control's selected
// segment and a slider's thumb, found at the places an iPhone XR's Settings application puts
// them (414 x 896 points at 2x; navigation bar 44 pt, a titled section header 55.5 pt, rows
// 44 pt, 16 pt margins, a segmented control 32 pt high whose selected plate is inset 2 pt, a
// slider whose 28 pt thumb meets the track's ends at its bounds).
#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "program.h"
#include "temporary_folder.h"

namespace {

using Pixel = std::array<int, 3>;

struct Picture {
  uint32_t width = 0, height = 0;
  std::vector<std::vector<uint8_t>> rows;
  // The pixel at a point, in points (2 pixels a point).
  Pixel at(double x, double y) const {
    const std::vector<uint8_t>& row = rows.at(static_cast<size_t>(y * 2));
    size_t i = static_cast<size_t>(x * 2) * 3;
    return {row[i], row[i + 1], row[i + 2]};
  }
};

Picture readPicture(const std::string& path) {
  Picture picture;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return picture;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return Picture{};
  }
  png_init_io(png, file);
  png_read_info(png, info);
  png_set_strip_alpha(png);
  png_set_expand(png);
  png_read_update_info(png, info);
  picture.width = png_get_image_width(png, info);
  picture.height = png_get_image_height(png, info);
  picture.rows.assign(picture.height, std::vector<uint8_t>(png_get_rowbytes(png, info)));
  for (auto& row : picture.rows) png_read_row(png, row.data(), nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  return picture;
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
const Pixel kTrack = {0xE5, 0xE5, 0xEA};         // systemGray5

class RowTypesPictureTest : public ::testing::Test {
 protected:
  // Draws a titled section holding a segment row (values 0, 1, 2, `segment` stored) and a
  // slider row over [0, 10] at `slider`.
  Picture draw(int segment, double slider) {
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
      </array></dict></plist>)";
    std::string png = folder_.path() + "/pane.png";
    testing_support::ProgramRun run = testing_support::runProgram(
        PLINKA_SIM, {"settings", "--machine", "iPhone11,8", "--rows", rows, "--png", png, "-"},
        "show\n");
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

}  // namespace
