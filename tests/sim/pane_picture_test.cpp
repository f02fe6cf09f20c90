// `plinka-sim settings --png`: the pane's picture, checked by its pixels at the places the
// pane's measurements put each row, switch, accessory and alert.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <UIKit/UITableViewCell.h>

#include "build_paths.h"
#include "pane_picture.h"
#include "png_picture.h"
#include "program.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using testing_support::describe;
using testing_support::near;
using testing_support::Pixel;
using testing_support::writeRowsPng;
using testing_support::writeSolidPng;
// Read at scale 1: a picture's positions here are in pixels.
using Picture = testing_support::PngPicture;

// What the picture must show, stated here from the platform's published measurements (iOS 14,
// light appearance, an iPhone, a grouped table) and not taken from the drawing code: a wrong
// measurement there moves or recolours a pixel this test looks at.
namespace published {
constexpr double kNavigationBar = 44;   // a compact UINavigationBar
constexpr double kRow = 44;             // a one-line cell, the 44 pt hit target
constexpr double kSectionSpacing = 35;  // above an untitled grouped section
constexpr double kTitledHeader = 55.5;  // a titled grouped section's header
constexpr double kMargin = 16;          // a cell's layout margin on an iPhone
constexpr double kSwitchWidth = 51;     // UISwitch, 51 x 31
constexpr double kAlertWidth = 270;     // UIAlertController, alert style
constexpr double kAlertDimming = 0.2;   // the black dimming view's alpha under an alert
constexpr Pixel kGroupedBackground = {0xF2, 0xF2, 0xF7};  // systemGroupedBackground
constexpr Pixel kSwitchOn = {0x34, 0xC7, 0x59};           // systemGreen
constexpr Pixel kSwitchOff = {0xE9, 0xE9, 0xEB};          // the off fill, #787880 at 16%, on white
constexpr Pixel kAlertBackground = {0xF2, 0xF2, 0xF2};    // the alert's material, dimmed pane
}  // namespace published
using namespace published;

int toByte(double c) {
  return static_cast<int>(std::lround(c * 255));
}
// A colour under the black dimming view of alpha `dim`.
Pixel dimmed(Pixel c, double dim) {
  return {toByte(c[0] / 255.0 * (1 - dim)), toByte(c[1] / 255.0 * (1 - dim)),
          toByte(c[2] / 255.0 * (1 - dim))};
}
// Row dictionaries of a row list.
std::string group(const std::string& label) {
  return "<dict><key>cell</key><string>PSGroupCell</string><key>label</key><string>" + label +
         "</string></dict>";
}
std::string switchRow(const std::string& label, bool on, const std::string& extra = "") {
  return "<dict><key>cell</key><string>PSSwitchCell</string><key>label</key><string>" + label +
         "</string><key>key</key><string>k" + label +
         "</string><key>defaults</key><string>com.plinka.test</string><key>default</key>" +
         (on ? "<true/>" : "<false/>") + extra + "</dict>";
}
std::string linkListRow(const std::string& label) {
  return "<dict><key>cell</key><string>PSLinkListCell</string><key>label</key><string>" + label +
         "</string></dict>";
}

// A titled first section: the row `i` of it has its middle this many points from the top.
double rowMiddle(int i) {
  return kNavigationBar + kTitledHeader + kRow * i + kRow / 2;
}

class PanePictureTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::copy(PLINKA_EXAMPLE_DEVICE, root_, fs::copy_options::recursive); }

  // Runs `script` on the rows `items` and draws the pane; answers the run.
  testing_support::ProgramRun draw(const std::string& items, const std::string& script,
                                   std::vector<std::string> options = {}) {
    std::ofstream(rows_) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\">"
                            "<dict><key>title</key><string>Test</string><key>items</key><array>"
                         << items << "</array></dict></plist>";
    std::vector<std::string> args = {"settings",     "--device-root", root_.string(), "--rows",
                                     rows_.string(), "--png",         png_.string()};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back("-");
    return testing_support::runProgram(PLINKA_SIM, args, script);
  }

  // The picture's rows through the middles of rows `rowsAt` (points from the top), at `scale`.
  Picture picture(const std::vector<double>& pointsFromTop, double scale = 3) {
    std::set<uint32_t> wanted;
    for (double y : pointsFromTop) wanted.insert(static_cast<uint32_t>(y * scale));
    return testing_support::readPng(png_.string(), 1, &wanted);
  }

  // The switch track's two ends in a row, in pixels: where the knob sits when off, and when on.
  static double switchOffEnd(double width, double scale = 3) {
    return (width - kMargin - kSwitchWidth + 8) * scale;
  }
  static double switchOnEnd(double width, double scale = 3) {
    return (width - kMargin - 8) * scale;
  }

  testing_support::TemporaryFolder folder_;
  fs::path root_ = fs::path(folder_.path()) / "device";
  fs::path rows_ = fs::path(folder_.path()) / "Rows.plist";
  fs::path png_ = fs::path(folder_.path()) / "pane.png";
};

TEST_F(PanePictureTest, SwitchesShowTheirPositionAndNestedRowsFollowTheirOwner) {
  const std::string items =
      group("Switches") + switchRow("Alpha", true) +
      switchRow("Beta", false, "<key>nestedEntryCount</key><integer>1</integer>") +
      linkListRow("Beta sound") + switchRow("Gamma", true);
  const Pixel green = kSwitchOn, offTrack = kSwitchOff;
  const Pixel white = {255, 255, 255};

  // As the pane opens: Alpha on, Beta off, its nested row hidden, so Gamma follows Beta.
  auto run = draw(items, "");
  ASSERT_EQ(run.status, 0) << run.err;
  Picture opened = picture({rowMiddle(0), rowMiddle(1), rowMiddle(2), rowMiddle(3)});
  EXPECT_EQ(opened.width, 428u * 3);
  EXPECT_TRUE(near(opened.at(switchOffEnd(428), rowMiddle(0) * 3), green));
  EXPECT_TRUE(near(opened.at(switchOnEnd(428), rowMiddle(0) * 3), white));
  EXPECT_TRUE(near(opened.at(switchOffEnd(428), rowMiddle(1) * 3), white));
  EXPECT_TRUE(near(opened.at(switchOnEnd(428), rowMiddle(1) * 3), offTrack))
      << describe(opened.at(switchOnEnd(428), rowMiddle(1) * 3));
  EXPECT_TRUE(near(opened.at(switchOffEnd(428), rowMiddle(2) * 3), green)) << "Gamma, third";
  // Below the last row: the table's background.
  EXPECT_TRUE(near(opened.at(switchOffEnd(428), rowMiddle(3) * 3), kGroupedBackground));

  // Alpha turned off, Beta on: Beta's nested row (no switch) comes between Beta and Gamma.
  run = draw(items, "set Alpha off\nset Beta on\n");
  ASSERT_EQ(run.status, 0) << run.err;
  Picture changed = picture({rowMiddle(0), rowMiddle(1), rowMiddle(2), rowMiddle(3)});
  EXPECT_TRUE(near(changed.at(switchOffEnd(428), rowMiddle(0) * 3), white));
  EXPECT_TRUE(near(changed.at(switchOnEnd(428), rowMiddle(0) * 3), offTrack));
  EXPECT_TRUE(near(changed.at(switchOffEnd(428), rowMiddle(1) * 3), green));
  EXPECT_TRUE(near(changed.at(switchOffEnd(428), rowMiddle(2) * 3), white)) << "Beta sound";
  EXPECT_TRUE(near(changed.at(switchOffEnd(428), rowMiddle(3) * 3), green)) << "Gamma, fourth";
}

TEST_F(PanePictureTest, RefusedSwitchLeavesTheAlertOverTheDimmedPane) {
  const std::string items =
      group("Gated") + switchRow("Future", false, "<key>minimumVersion</key><string>99.0</string>");
  const double alertEdge = (428 - kAlertWidth) / 2 + 4;
  const double screenMiddle = 926.0 / 2;
  const double background = 926 - 10;  // the pane's background, below the section

  auto run = draw(items, "set Future on\n");
  ASSERT_EQ(run.status, 0) << run.err;
  Picture refused = picture({rowMiddle(0), screenMiddle, background});
  EXPECT_TRUE(near(refused.at(alertEdge * 3, screenMiddle * 3), kAlertBackground))
      << describe(refused.at(alertEdge * 3, screenMiddle * 3));
  const double dim = kAlertDimming;
  EXPECT_TRUE(near(refused.at(30, background * 3), dimmed(kGroupedBackground, dim)))
      << describe(refused.at(30, background * 3));
  // The switch went back off: its knob, dimmed, at the off end.
  EXPECT_TRUE(near(refused.at(switchOffEnd(428), rowMiddle(0) * 3), dimmed({255, 255, 255}, dim)));

  // An alert is closed before the next line: the pane is no longer dimmed.
  run = draw(items, "set Future on\nshow\n");
  ASSERT_EQ(run.status, 0) << run.err;
  Picture closed = picture({screenMiddle, background});
  EXPECT_TRUE(near(closed.at(30, background * 3), kGroupedBackground));
  EXPECT_TRUE(near(closed.at(alertEdge * 3, screenMiddle * 3), kGroupedBackground));
}

TEST_F(PanePictureTest, AccessoryImageViewShowsTheImagesPixels) {
  // The link cell's browser image, replaced by one colour, 29 points square at scale 3.
  const Pixel orange = {240, 120, 20};
  fs::path bundle = root_ / "var/LIY/PreferenceBundles/Plinka3.bundle";
  writeSolidPng((bundle / "safari@3x.png").string(), 87, 87, orange);
  const std::string items = group("About") +
                            "<dict><key>cell</key><string>PSButtonCell</string><key>cellClass</key>"
                            "<string>ZELLinkCell</string><key>label</key><string>Website</string>"
                            "<key>subtitle</key><string>Source</string><key>link</key>"
                            "<string>https://plinka.example.org/</string></dict>";
  auto run = draw(items, "");
  ASSERT_EQ(run.status, 0) << run.err;
  Picture drawn = picture({rowMiddle(0)});
  double middle = 428 - kMargin - 29.0 / 2;
  EXPECT_TRUE(near(drawn.at(middle * 3, rowMiddle(0) * 3), orange))
      << describe(drawn.at(middle * 3, rowMiddle(0) * 3));
  // Beside it, the cell's own white.
  EXPECT_TRUE(near(drawn.at((middle - 20) * 3, rowMiddle(0) * 3), {255, 255, 255}));
}

// A preview as the image picker cell makes it: a 29-point image view, aspect-filled, with
// rounded, light grey bordered corners, as a cell's accessory view.
TEST_F(PanePictureTest, RoundedBorderedAccessoryViewIsDrawnFromItsLayer) {
  ns::AutoreleasePool pool;
  // 120 x 60 pixels: blue quarters at the sides, red between. Aspect-filled into a square, only
  // the red middle shows; stretched, the blue would reach the view's edges.
  fs::path file = fs::path(folder_.path()) / "wide.png";
  std::vector<uint8_t> row(120 * 3);
  for (int x = 0; x < 120; ++x) {
    bool side = x < 30 || x >= 90;
    row[3 * x] = side ? 0 : 255;
    row[3 * x + 2] = side ? 255 : 0;
  }
  writeRowsPng(file.string(), 120, 60, row);
  std::ifstream in(file, std::ios::binary);
  std::string png((std::istreambuf_iterator<char>(in)), {});
  id data = msgSend(objc_getClass("NSData"), sel("dataWithBytes:length:"), png.data(), png.size());
  id image = msgSend(objc_getClass("UIImage"), sel("imageWithData:"), data);
  ASSERT_NE(image, nil);

  ns::Ref preview = ns::Ref::adopt(msgSend(msgSend(objc_getClass("UIImageView"), sel("alloc")),
                                           sel("initWithFrame:"), CGRect{{0, 0}, {29, 29}}));
  msgSend<void>(preview, sel("setContentMode:"), UIViewContentModeScaleAspectFill);
  msgSend<void>(preview, sel("setClipsToBounds:"), BOOL{YES});
  id layer = msgSend(preview, sel("layer"));
  msgSend<void>(layer, sel("setCornerRadius:"), CGFloat{5});
  msgSend<void>(layer, sel("setBorderWidth:"), CGFloat{1.5});
  msgSend<void>(layer, sel("setBorderColor:"),
                msgSend<CGColorRef>(msgSend(objc_getClass("UIColor"), sel("lightGrayColor")),
                                    sel("CGColor")));
  msgSend<void>(preview, sel("setImage:"), image);
  ns::Ref cell = ns::Ref::adopt(msgSend(msgSend(objc_getClass("UITableViewCell"), sel("alloc")),
                                        sel("initWithStyle:reuseIdentifier:"),
                                        UITableViewCellStyleDefault, id{nil}));
  msgSend<void>(cell, sel("setAccessoryView:"), preview.get());

  settings_sim::Pane pane{"Test", {{nil, cell.get(), false, "Picture", std::nullopt}}, {}};
  std::string problem;
  ASSERT_TRUE(settings_sim::writePanePicture(pane, *device::screenOfMachine("iPhone13,4"),
                                             settings_sim::Appearance::Light, png_.string(),
                                             problem))
      << problem;
  const double top = kNavigationBar + kSectionSpacing;
  const double x = 428 - kMargin - 29, y = top + (kRow - 29) / 2;
  Picture drawn = picture({y + 0.3, y + 14.5});
  EXPECT_TRUE(near(drawn.at((x + 4) * 3, (y + 14.5) * 3), {255, 0, 0}, 8))
      << "aspect-filled middle: " << describe(drawn.at((x + 4) * 3, (y + 14.5) * 3));
  EXPECT_TRUE(near(drawn.at((x + 0.4) * 3, (y + 14.5) * 3), {170, 170, 170}, 8))
      << "border: " << describe(drawn.at((x + 0.4) * 3, (y + 14.5) * 3));
  EXPECT_TRUE(near(drawn.at((x + 0.4) * 3, (y + 0.3) * 3), {255, 255, 255}, 8))
      << "outside the rounded corner: " << describe(drawn.at((x + 0.4) * 3, (y + 0.3) * 3));
}

TEST_F(PanePictureTest, PaneLongerThanCairosLimitIsDrawnWhole) {
  // 500 rows on a scale-2 screen: 44,000 pixel rows, drawn in bands.
  std::string items;
  for (int i = 0; i < 500; ++i) items += switchRow("Row" + std::to_string(i), i % 2 == 0);
  auto run = draw(items, "", {"--machine", "iPhone11,8"});
  ASSERT_EQ(run.status, 0) << run.err;
  const double top = kNavigationBar + kSectionSpacing;
  auto middle = [&](int i) { return top + kRow * i + kRow / 2; };
  std::vector<int> sampled = {0, 20, 21, 373, 498, 499};  // 21 spans the first band's end
  std::vector<double> ys;
  for (int i : sampled) ys.push_back(middle(i));
  Picture drawn = picture(ys, 2);
  EXPECT_EQ(drawn.width, 414u * 2);
  double total = top + 500 * kRow + kSectionSpacing;
  EXPECT_EQ(drawn.height, static_cast<uint32_t>(std::ceil(total * 2)));
  for (int i : sampled) {
    Pixel p = drawn.at(switchOffEnd(414, 2), middle(i) * 2);
    EXPECT_TRUE(near(p, i % 2 == 0 ? kSwitchOn : Pixel{255, 255, 255}))
        << "row " << i << ": " << describe(p);
  }
}

TEST_F(PanePictureTest, BadMachineOrFileIsReportedAndLeavesNoPicture) {
  auto run = draw(switchRow("Alpha", true), "", {"--machine", "iPad8,1"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("no screen known for machine iPad8,1"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(png_));

  png_ = fs::path(folder_.path()) / "no-such-folder" / "pane.png";
  run = draw(switchRow("Alpha", true), "");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;

  // A script that stops on a row not shown draws nothing: the pane is not what was asked for.
  png_ = fs::path(folder_.path()) / "pane.png";
  run = draw(switchRow("Alpha", false, "<key>nestedEntryCount</key><integer>1</integer>") +
                 switchRow("Hidden", true),
             "set Hidden off\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(fs::exists(png_));
}

}  // namespace
