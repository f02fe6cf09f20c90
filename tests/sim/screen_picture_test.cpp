// `plinka-sim settings` drawing the screen: `snapshot FILE` in the middle of a script (the page
// on top, an alert over it, the photo picker), `--png` after it, both appearances, and text in
// any script. Each picture is read back pixel by pixel at places stated here from the
// platform's measurements (iOS 14 on an iPhone 12 Pro Max: 428 x 926 points at 3 pixels a
// point), not taken from the drawing code.
#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "build_paths.h"
#include "picker.h"
#include "png_picture.h"
#include "program.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;
using testing_support::describe;
using testing_support::near;
using testing_support::over;
using testing_support::Pixel;
using testing_support::PngPicture;

namespace published {
constexpr double kWidth = 428, kHeight = 926, kScale = 3;
constexpr double kBar = 44;             // a compact navigation bar
constexpr double kRow = 44;             // a one-line cell
constexpr double kSectionSpacing = 35;  // above an untitled grouped section
constexpr double kTitledHeader = 55.5;  // a titled grouped section's header
constexpr double kMargin = 16;          // a cell's layout margin
constexpr double kSwitchWidth = 51;
constexpr double kAlertWidth = 270;
constexpr double kDimming = 0.2;  // the black dimming view under an alert or a sheet
// The picker sheet: 10 pt below the top, a 56 pt bar, then four square thumbnails a row, 2 pt
// apart, across the screen.
constexpr double kSheetTop = 10, kSheetBar = 56, kGap = 2;
constexpr double kThumbnail = (kWidth - 3 * kGap) / 4;
// System colours, light and dark (UIKit's published values).
constexpr Pixel kGroupedBackground = {0xF2, 0xF2, 0xF7}, kGroupedBackgroundDark = {0, 0, 0};
constexpr Pixel kCell = {255, 255, 255}, kCellDark = {0x1C, 0x1C, 0x1E};
constexpr Pixel kGreen = {0x34, 0xC7, 0x59}, kGreenDark = {0x30, 0xD1, 0x58};
constexpr Pixel kBlue = {0x00, 0x7A, 0xFF};
constexpr Pixel kSwitchOffFill = {0x78, 0x78, 0x80};  // at 16% light, 32% dark
constexpr Pixel kAlertBackground = {0xF2, 0xF2, 0xF2};
constexpr Pixel kBarBackground = {0xF9, 0xF9, 0xF9};
}  // namespace published
using namespace published;

const Pixel kBlack = {0, 0, 0};

// Row dictionaries of a row list.
std::string group(const std::string& label, const std::string& extra = "") {
  return "<dict><key>cell</key><string>PSGroupCell</string><key>label</key><string>" + label +
         "</string>" + extra + "</dict>";
}
std::string switchRow(const std::string& label, bool on, const std::string& extra = "") {
  return "<dict><key>cell</key><string>PSSwitchCell</string><key>label</key><string>" + label +
         "</string><key>key</key><string>k" + label +
         "</string><key>defaults</key><string>com.plinka.test</string><key>default</key>" +
         (on ? "<true/>" : "<false/>") + extra + "</dict>";
}
std::string pickerRow(const std::string& label, bool videos) {
  std::string row =
      "<dict><key>cell</key><string>PSButtonCell</string><key>cellClass</key>"
      "<string>ZELImagePickerCell</string><key>action</key><string>chooseImage</string>"
      "<key>label</key><string>" +
      label + "</string><key>key</key><string>k" + label +
      "</string><key>defaults</key><string>com.plinka.test</string>";
  if (videos) {
    row +=
        "<key>allowsVideos</key><true/><key>videoPath</key>"
        "<string>/var/mobile/Library/Plinka/V.mov</string>";
  }
  return row + "</dict>";
}

// How many pixels in the box (points) satisfy `test`.
template <typename Test>
int count(const PngPicture& picture, double x0, double y0, double x1, double y1, Test test) {
  int n = 0;
  for (auto y = static_cast<uint32_t>(y0 * kScale); y < static_cast<uint32_t>(y1 * kScale); ++y) {
    for (auto x = static_cast<uint32_t>(x0 * kScale); x < static_cast<uint32_t>(x1 * kScale); ++x) {
      if (test(picture.pixel(x, y))) ++n;
    }
  }
  return n;
}
bool dark(const Pixel& p) {
  return p[0] + p[1] + p[2] < 300;
}

class ScreenPictureTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::copy(PLINKA_EXAMPLE_DEVICE, root_, fs::copy_options::recursive); }

  // Runs `script` on the rows `items` under `title`, with `options`; answers the run and keeps
  // the snapshot entries of the journal.
  testing_support::ProgramRun run(const std::string& items, const std::string& script,
                                  std::vector<std::string> options = {},
                                  const std::string& title = "Test", bool asJson = true) {
    std::ofstream(rows_) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\">"
                            "<dict><key>title</key><string>"
                         << title << "</string><key>items</key><array>" << items
                         << "</array></dict></plist>";
    std::vector<std::string> args = {"settings", "--device-root", root_.string(), "--rows",
                                     rows_.string()};
    if (asJson) args.push_back("--json");
    args.insert(args.end(), options.begin(), options.end());
    args.push_back("-");
    testing_support::ProgramRun ran = testing_support::runProgram(PLINKA_SIM, args, script);
    snapshots_.clear();
    std::istringstream out(ran.out);
    for (std::string line; std::getline(out, line);) {
      json entry = json::parse(line, nullptr, false);
      if (entry.is_object() && entry["kind"] == "snapshot") snapshots_.push_back(entry);
    }
    return ran;
  }
  std::string file(const std::string& name) const { return folder_.path() + "/" + name; }
  PngPicture picture(const std::string& name) const {
    return testing_support::readPng(file(name), kScale);
  }

  testing_support::TemporaryFolder folder_;
  fs::path root_ = fs::path(folder_.path()) / "device";
  fs::path rows_ = fs::path(folder_.path()) / "Rows.plist";
  std::vector<json> snapshots_;
};

// A titled first section: the middle of its row `i`.
double rowMiddle(int i) {
  return kBar + kTitledHeader + kRow * i + kRow / 2;
}

TEST_F(ScreenPictureTest, SnapshotsDrawThePageOnTopAndWhatIsPresentedOverIt) {
  const std::string items =
      group("Main") + switchRow("Alpha", true) +
      switchRow("Future", false, "<key>minimumVersion</key><string>99.0</string>") +
      "<dict><key>cell</key><string>PSLinkListCell</string><key>label</key><string>Sound"
      "</string><key>key</key><string>sound</string><key>defaults</key><string>com.plinka.test"
      "</string><key>default</key><string>b</string><key>validValues</key><array><string>a"
      "</string><string>b</string><string>c</string></array><key>validTitles</key><array>"
      "<string>A</string><string>B</string><string>C</string></array></dict>";
  auto ran = run(items, "snapshot " + file("pane.png") + "\nset Future on\nsnapshot " +
                            file("alert.png") + "\nsnapshot " + file("still-alert.png") +
                            "\ntap Sound\nsnapshot " + file("page.png") + "\n");
  ASSERT_EQ(ran.status, 0) << ran.err;
  ASSERT_EQ(snapshots_.size(), 4u) << ran.out;
  const char* shows[] = {"page", "alert", "alert", "page"};
  const char* titles[] = {"Test", "Test", "Test", "Sound"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(snapshots_[i]["shows"], shows[i]) << snapshots_[i];
    EXPECT_EQ(snapshots_[i]["title"], titles[i]) << snapshots_[i];
    EXPECT_EQ(snapshots_[i]["width"], kWidth * kScale);
    EXPECT_EQ(snapshots_[i]["height"], kHeight * kScale);
  }

  // The pane: Alpha's switch on, the table's background below the section.
  const double switchOnSide = kWidth - kMargin - kSwitchWidth + 8;
  PngPicture pane = picture("pane.png");
  ASSERT_FALSE(pane.empty());
  EXPECT_TRUE(near(pane.at(switchOnSide, rowMiddle(0)), kGreen));
  EXPECT_TRUE(near(pane.at(30, kHeight - 10), kGroupedBackground));

  // The alert over the dimmed pane, in both snapshots: a snapshot closes nothing.
  for (const char* name : {"alert.png", "still-alert.png"}) {
    PngPicture alert = picture(name);
    ASSERT_FALSE(alert.empty());
    EXPECT_TRUE(near(alert.at((kWidth - kAlertWidth) / 2 + 4, kHeight / 2), kAlertBackground))
        << name << ": " << describe(alert.at((kWidth - kAlertWidth) / 2 + 4, kHeight / 2));
    EXPECT_TRUE(near(alert.at(30, kHeight - 10), over(kBlack, kDimming, kGroupedBackground)))
        << name << ": " << describe(alert.at(30, kHeight - 10));
    EXPECT_TRUE(near(alert.at(switchOnSide, rowMiddle(0)), over(kBlack, kDimming, kGreen)));
  }

  // The list page pushed by the tap (the alert closed first): its choices in an untitled
  // section, the checkmark on B, the back button's chevron at the left of the bar, no dimming.
  PngPicture page = picture("page.png");
  ASSERT_FALSE(page.empty());
  auto choiceMiddle = [](int i) { return kBar + kSectionSpacing + kRow * i + kRow / 2; };
  const double mark = kWidth - kMargin - 4.5;  // the middle of the checkmark's long stroke
  auto blue = [](const Pixel& p) { return near(p, kBlue, 40); };
  EXPECT_GT(count(page, mark - 1, choiceMiddle(1) - 1.5, mark + 1, choiceMiddle(1) + 0.5, blue), 0)
      << "the checkmark on B";
  EXPECT_EQ(count(page, mark - 1, choiceMiddle(0) - 1.5, mark + 1, choiceMiddle(0) + 0.5, blue), 0)
      << "no checkmark on A";
  EXPECT_GT(count(page, 12, 16, 16, 19, blue), 0) << "the back chevron";
  EXPECT_TRUE(near(page.at(30, kHeight - 10), kGroupedBackground));
  EXPECT_TRUE(near(page.at(kWidth / 2, choiceMiddle(3) + 10), kGroupedBackground))
      << "three choices only";
}

TEST_F(ScreenPictureTest, PickerSheetShowsTheLibraryOldestFirstAndVideosWithTheirLength) {
  // A library of five one-coloured pictures and, newest, the example's 1.5 s video.
  fs::path library = root_ / "var/mobile/Media/DCIM/100APPLE";
  fs::copy_file(library / "IMG_0004.MOV", fs::path(folder_.path()) / "video.mov");
  fs::remove_all(library);
  fs::create_directories(library);
  const std::vector<Pixel> colours = {
      {230, 40, 40}, {40, 200, 60}, {40, 60, 220}, {240, 200, 20}, {150, 40, 200}};
  for (size_t i = 0; i < colours.size(); ++i) {
    std::string name = "IMG_000" + std::to_string(i + 1) + ".PNG";
    testing_support::writeSolidPng((library / name).string(), 60, 40, colours[i]);
  }
  fs::copy_file(fs::path(folder_.path()) / "video.mov", library / "IMG_0006.MOV");

  const std::string items = group("Pictures") + pickerRow("Any", true) + pickerRow("Still", false);
  auto ran = run(items, "tap Any\nsnapshot " + file("any.png") + "\ncancel\ntap Still\n",
                 {"--png", file("still.png")});
  ASSERT_EQ(ran.status, 0) << ran.err;
  ASSERT_EQ(snapshots_.size(), 1u);
  EXPECT_EQ(snapshots_[0]["shows"], "picker");
  EXPECT_EQ(snapshots_[0]["items"], json::parse(R"([{"name":"IMG_0001.PNG"},{"name":"IMG_0002.PNG"},
                {"name":"IMG_0003.PNG"},{"name":"IMG_0004.PNG"},{"name":"IMG_0005.PNG"},
                {"name":"IMG_0006.MOV","duration":"0:02"}])"));

  auto origin = [](size_t i) {
    return std::pair{static_cast<double>(i % 4) * (kThumbnail + kGap),
                     kSheetTop + kSheetBar + static_cast<double>(i / 4) * (kThumbnail + kGap)};
  };
  PngPicture any = picture("any.png");
  ASSERT_FALSE(any.empty());
  for (size_t i = 0; i < colours.size(); ++i) {
    auto [x, y] = origin(i);
    EXPECT_TRUE(near(any.at(x + kThumbnail / 2, y + kThumbnail / 2), colours[i], 4))
        << "thumbnail " << i << ": " << describe(any.at(x + kThumbnail / 2, y + kThumbnail / 2));
    EXPECT_TRUE(near(any.at(x + 3, y + 3), colours[i], 4)) << "filled to its corner, " << i;
  }
  // Between thumbnails, and above the first row, the sheet shows through.
  EXPECT_TRUE(near(any.at(kThumbnail + kGap / 2, kSheetTop + kSheetBar + 20), kCell))
      << "the gap between columns: "
      << describe(any.at(kThumbnail + kGap / 2, kSheetTop + kSheetBar + 20));
  EXPECT_TRUE(near(any.at(20, kSheetTop + kSheetBar + kThumbnail + kGap / 2), kCell))
      << "the gap between rows";
  EXPECT_TRUE(near(any.at(20, kSheetTop + kSheetBar - 1), kBarBackground))
      << "the sheet's bar: " << describe(any.at(20, kSheetTop + kSheetBar - 1));
  // Above the sheet: the pane's bar, dimmed.
  EXPECT_TRUE(near(any.at(kWidth / 2, kSheetTop / 2), over(kBlack, kDimming, kBarBackground)))
      << describe(any.at(kWidth / 2, kSheetTop / 2));
  // The video's length in white at its bottom right; the bottom left has no text.
  auto [vx, vy] = origin(5);
  auto white = [](const Pixel& p) { return p[0] > 225 && p[1] > 225 && p[2] > 225; };
  double bottom = vy + kThumbnail;
  int right = count(any, vx + kThumbnail - 40, bottom - 20, vx + kThumbnail - 4, bottom - 4, white);
  int left = count(any, vx + 4, bottom - 20, vx + 40, bottom - 4, white);
  EXPECT_GT(right, 40) << "the length's digits";
  EXPECT_EQ(left, 0);

  // The picker that offers pictures only, still up when the script ended: --png draws it,
  // without the video.
  PngPicture still = picture("still.png");
  ASSERT_FALSE(still.empty());
  auto [px, py] = origin(4);
  EXPECT_TRUE(near(still.at(px + kThumbnail / 2, py + kThumbnail / 2), colours[4], 4));
  EXPECT_TRUE(near(still.at(vx + kThumbnail / 2, vy + kThumbnail / 2), kCell))
      << "no sixth thumbnail: " << describe(still.at(vx + kThumbnail / 2, vy + kThumbnail / 2));
}

TEST_F(ScreenPictureTest, PickerSheetLongerThanTheScreenIsDrawnWhole) {
  // 38 pictures: ten rows of thumbnails, the last row two, below the screen's end.
  fs::path library = root_ / "var/mobile/Media/DCIM/100APPLE";
  fs::remove_all(library);
  fs::create_directories(library);
  const int items = 38;
  auto colour = [](int i) { return Pixel{i * 6, 250 - i * 6, i % 2 == 0 ? 40 : 200}; };
  for (int i = 0; i < items; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%04d.PNG", i + 1);
    testing_support::writeSolidPng((library / name).string(), 8, 8, colour(i));
  }
  auto ran = run(group("G") + pickerRow("Any", false), "tap Any\n", {"--png", file("long.png")});
  ASSERT_EQ(ran.status, 0) << ran.err;
  PngPicture sheet = picture("long.png");
  ASSERT_FALSE(sheet.empty());
  const double bottom = kSheetTop + kSheetBar + 10 * (kThumbnail + kGap) - kGap;
  EXPECT_EQ(sheet.height, static_cast<uint32_t>(std::ceil(bottom * kScale)));
  for (int i : {0, 17, 36, 37}) {
    double x = (i % 4) * (kThumbnail + kGap) + kThumbnail / 2;
    double y = kSheetTop + kSheetBar + (i / 4) * (kThumbnail + kGap) + kThumbnail / 2;
    EXPECT_TRUE(near(sheet.at(x, y), colour(i), 4)) << i << ": " << describe(sheet.at(x, y));
  }
}

TEST_F(ScreenPictureTest, EachAppearanceDrawsWithItsSystemColours) {
  const std::string items = group("G") + switchRow("On", true) + switchRow("Off", false);
  const double onSide = kWidth - kMargin - kSwitchWidth + 8, offSide = kWidth - kMargin - 8;
  struct Case {
    std::vector<std::string> options;
    Pixel background, cell, green, offTrack;
  };
  const Case cases[] = {
      {{}, kGroupedBackground, kCell, kGreen, over(kSwitchOffFill, 0.16, kCell)},
      {{"--appearance", "light"},
       kGroupedBackground,
       kCell,
       kGreen,
       over(kSwitchOffFill, 0.16, kCell)},
      {{"--appearance", "dark"},
       kGroupedBackgroundDark,
       kCellDark,
       kGreenDark,
       over(kSwitchOffFill, 0.32, kCellDark)},
  };
  for (const Case& c : cases) {
    std::vector<std::string> options = c.options;
    options.insert(options.end(), {"--png", file("pane.png")});
    auto ran = run(items, "", options);
    ASSERT_EQ(ran.status, 0) << ran.err;
    std::string named = c.options.empty() ? "default" : c.options[1];
    PngPicture pane = picture("pane.png");
    ASSERT_FALSE(pane.empty());
    EXPECT_TRUE(near(pane.at(30, kHeight - 10), c.background))
        << named << ": " << describe(pane.at(30, kHeight - 10));
    EXPECT_TRUE(near(pane.at(kWidth / 2, rowMiddle(0)), c.cell))
        << named << ": " << describe(pane.at(kWidth / 2, rowMiddle(0)));
    EXPECT_TRUE(near(pane.at(onSide, rowMiddle(0)), c.green)) << named;
    EXPECT_TRUE(near(pane.at(offSide, rowMiddle(1)), c.offTrack))
        << named << ": " << describe(pane.at(offSide, rowMiddle(1)));
  }
  auto ran = run(items, "", {"--appearance", "sepia"});
  EXPECT_EQ(ran.status, 2);
  EXPECT_NE(ran.err.find("--appearance takes light or dark, not 'sepia'"), std::string::npos)
      << ran.err;
}

// The ink of `text` in the bar's title font (17 pt bold) in the face `family`, drawn by pango
// directly at the screen's scale: how many pixels are dark, and the ink's width and height.
struct Ink {
  int pixels = 0, width = 0, height = 0;
};
Ink inkOf(const PngPicture& picture, double x0, double y0, double x1, double y1) {
  Ink ink;
  int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
  for (auto y = static_cast<uint32_t>(y0 * kScale); y < static_cast<uint32_t>(y1 * kScale); ++y) {
    for (auto x = static_cast<uint32_t>(x0 * kScale); x < static_cast<uint32_t>(x1 * kScale); ++x) {
      if (!dark(picture.pixel(x, y))) continue;
      ++ink.pixels;
      left = std::min(left, static_cast<int>(x));
      right = std::max(right, static_cast<int>(x));
      top = std::min(top, static_cast<int>(y));
      bottom = std::max(bottom, static_cast<int>(y));
    }
  }
  if (right >= 0) ink.width = right - left + 1, ink.height = bottom - top + 1;
  return ink;
}
Ink pangoInk(const std::string& text, const char* family) {
  const int side = 200;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, side, side);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_scale(cr, kScale, kScale);
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, family);
  pango_font_description_set_weight(font, PANGO_WEIGHT_BOLD);
  pango_font_description_set_absolute_size(font, 17 * PANGO_SCALE);
  pango_layout_set_font_description(layout, font);
  pango_layout_set_text(layout, text.c_str(), -1);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_move_to(cr, 10, 10);
  pango_cairo_show_layout(cr, layout);
  cairo_surface_flush(surface);
  PngPicture drawn;
  drawn.width = drawn.height = side;
  drawn.scale = kScale;
  const unsigned char* data = cairo_image_surface_get_data(surface);
  for (int y = 0; y < side; ++y) {
    std::vector<uint8_t> row;
    const auto* pixels =
        reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(surface));
    for (int x = 0; x < side; ++x) {
      row.insert(row.end(),
                 {static_cast<uint8_t>(pixels[x] >> 16), static_cast<uint8_t>(pixels[x] >> 8),
                  static_cast<uint8_t>(pixels[x])});
    }
    drawn.rows.push_back(row);
  }
  pango_font_description_free(font);
  g_object_unref(layout);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return inkOf(drawn, 0, 0, side / kScale, side / kScale);
}

TEST_F(ScreenPictureTest, TextInAnyScriptIsDrawnInAFaceThatHasIt) {
  // 音 as the bar's title: the glyph of a CJK face, as pango draws it on its own, not the box
  // of hex digits drawn for a character no face has.
  auto ran = run(group("G"), "snapshot " + file("cjk.png") + "\n", {}, "音");
  ASSERT_EQ(ran.status, 0) << ran.err;
  PngPicture cjk = picture("cjk.png");
  ASSERT_FALSE(cjk.empty());
  Ink drawn = inkOf(cjk, 0, 0, kWidth, kBar - 1);
  Ink glyph = pangoInk("音", "Noto Sans CJK JP");
  Ink box = pangoInk("\U000F0000", "DejaVu Sans");  // a private-use character: no face has it
  ASSERT_GT(glyph.pixels, 0);
  EXPECT_NEAR(drawn.pixels, glyph.pixels, glyph.pixels * 0.1) << "box: " << box.pixels;
  EXPECT_NEAR(drawn.width, glyph.width, 3) << "box: " << box.width;
  EXPECT_NEAR(drawn.height, glyph.height, 3) << "box: " << box.height;
  EXPECT_GT(std::abs(box.pixels - glyph.pixels), glyph.pixels * 0.2)
      << "the glyph and the box must differ for this test to tell them apart";

  // An emoji in colour.
  ran = run(group("G"), "snapshot " + file("emoji.png") + "\n", {}, "🔔");
  ASSERT_EQ(ran.status, 0) << ran.err;
  PngPicture emoji = picture("emoji.png");
  ASSERT_FALSE(emoji.empty());
  int coloured = count(emoji, 0, 0, kWidth, kBar - 1, [](const Pixel& p) {
    return std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) > 100;
  });
  EXPECT_GT(coloured, 100) << "the bell's yellow";
}

TEST_F(ScreenPictureTest, LongTitleIsCutWithinTheBarsMargins) {
  const std::string title =
      "Klänge für jeden Anlass, jede Stunde und jeden Ort, von morgens bis abends";
  auto ran = run(group("G"), "", {"--png", file("long.png")}, title);
  ASSERT_EQ(ran.status, 0) << ran.err;
  PngPicture bar = picture("long.png");
  ASSERT_FALSE(bar.empty());
  EXPECT_EQ(count(bar, 0, 0, kMargin, kBar - 1, dark), 0) << "nothing in the left margin";
  EXPECT_EQ(count(bar, kWidth - kMargin, 0, kWidth, kBar - 1, dark), 0) << "nor the right";
  EXPECT_GT(count(bar, kMargin, 0, kMargin + 20, kBar - 1, dark), 0) << "the title's start";
  EXPECT_GT(count(bar, kWidth - kMargin - 20, 0, kWidth - kMargin, kBar - 1, dark), 0)
      << "the ellipsis";

  // A pushed page's long title keeps clear of the back button ("< Test", blue) at the left,
  // and as far from the right edge.
  const std::string items =
      group("G") + "<dict><key>cell</key><string>PSLinkListCell</string><key>label</key><string>" +
      title +
      "</string><key>key</key><string>k</string><key>defaults</key><string>com.plinka.test"
      "</string><key>validValues</key><array><string>a</string></array><key>validTitles</key>"
      "<array><string>A</string></array></dict>";
  ran = run(items, "tap \"" + title + "\"\nsnapshot " + file("pushed.png") + "\n");
  ASSERT_EQ(ran.status, 0) << ran.err;
  PngPicture pushed = picture("pushed.png");
  ASSERT_FALSE(pushed.empty());
  auto blue = [](const Pixel& p) { return near(p, kBlue, 60); };
  EXPECT_GT(count(pushed, 0, 0, 60, kBar - 1, blue), 0) << "the back button";
  EXPECT_EQ(count(pushed, 0, 0, 60, kBar - 1, dark), 0) << "no title over the back button";
  EXPECT_EQ(count(pushed, kWidth - 60, 0, kWidth, kBar - 1, dark), 0) << "centred";
  EXPECT_GT(count(pushed, 60, 0, kWidth - 60, kBar - 1, dark), 0) << "the title";
}

TEST_F(ScreenPictureTest, BlankFooterLineIsAFullLineHigh) {
  // Where the second section's cell begins, below a first section with `footer`.
  auto secondCellTop = [&](const std::string& footer) {
    const std::string items = group("A", "<key>footerText</key><string>" + footer + "</string>") +
                              switchRow("One", true) + group("B") + switchRow("Two", true);
    auto ran = run(items, "", {"--png", file("footer.png")});
    EXPECT_EQ(ran.status, 0) << ran.err;
    PngPicture pane = picture("footer.png");
    for (double y = kBar + kTitledHeader + kRow + 1; y < kHeight; y += 1 / kScale) {
      if (near(pane.at(4, y), kCell, 1)) return y;
    }
    ADD_FAILURE() << "no second section";
    return 0.0;
  };
  double one = secondCellTop("First line.");
  double two = secondCellTop("First line.\nSecond line.");
  double blank = secondCellTop("First line.\n\nSecond line.");
  EXPECT_GE(two - one, 13) << "a line of 13 pt text";
  EXPECT_NEAR(blank - two, two - one, 0.5) << "the blank line";
}

TEST_F(ScreenPictureTest, SnapshotSaysWhatItDrewAndAFileThatCannotBeWrittenStopsTheScript) {
  auto ran = run(switchRow("Alpha", false, "<key>minimumVersion</key><string>99.0</string>"),
                 "set Alpha on\nsnapshot " + file("a.png") + "\n", {}, "Test", false);
  ASSERT_EQ(ran.status, 0) << ran.err;
  EXPECT_NE(ran.out.find("snapshot " + file("a.png") + ": alert over \"Test\", 1284x2778\n"),
            std::string::npos)
      << ran.out;

  ran = run(switchRow("Alpha", true), "set Alpha off\nsnapshot /no/such/folder/x.png\n");
  EXPECT_EQ(ran.status, 2);
  EXPECT_NE(ran.err.find("-:2: cannot write /no/such/folder/x.png"), std::string::npos) << ran.err;
  EXPECT_EQ(ran.out.find("\"store\""), std::string::npos) << "nothing ran: " << ran.out;
  ran = run(switchRow("Alpha", true), "snapshot\n");
  EXPECT_EQ(ran.status, 2);
  EXPECT_NE(ran.err.find("-:1: snapshot takes a file: snapshot FILE"), std::string::npos)
      << ran.err;
}

TEST(DurationText, WholeSecondsRoundedAsMinutesAndSeconds) {
  using settings_sim::durationText;
  EXPECT_EQ(durationText(0), "0:00");
  EXPECT_EQ(durationText(1.5), "0:02");
  EXPECT_EQ(durationText(1.49), "0:01");
  EXPECT_EQ(durationText(59.4), "0:59");
  EXPECT_EQ(durationText(59.5), "1:00");
  EXPECT_EQ(durationText(725), "12:05");
  EXPECT_EQ(durationText(3599.4), "59:59");
  EXPECT_EQ(durationText(3600), "1:00:00");
  EXPECT_EQ(durationText(3725), "1:02:05");
  EXPECT_EQ(durationText(-3), "0:00");
}

}  // namespace
