// ZELImagePickerCell inside the process: how its preview and its indicator look, the style it
// passes on, and a video the photo library cannot hand over.
#include <Foundation/dispatch.h>
#include <Photos/Photos.h>
#include <Preferences/Preferences.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIImagePickerController.h>
#include <gtest/gtest.h>
#include <pkprefs3/ZELImagePickerCell.h>
#include <pkprefs3/ZELPreferenceController.h>

#include <filesystem>
#include <fstream>

#include "settings_screen.h"

namespace {

namespace fs = std::filesystem;
using settings_screen::DeviceRoot;
using json = nlohmann::ordered_json;

class ImagePickerLookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    json rows = json::array({{{"cell", "PSButtonCell"},
                              {"label", "Picture"},
                              {"cellClass", "ZELImagePickerCell"},
                              {"key", "pic"},
                              {"defaults", "com.plinka.test"},
                              {"allowsVideos", true},
                              {"videoPath", "/var/mobile/Library/Plinka/V.mov"}}});
    controller_ = ns::Ref::adopt(msgSend(ZELPreferenceController::runtimeClass(), sel("new")));
    std::string error;
    ASSERT_TRUE(preferences::showRowList(controller_, root_.writeRows(rows), &error)) << error;
    window_ = ns::Ref::adopt(msgSend(objc_getClass("UIWindow"), sel("new")));
    send<void>(window_.get(), "addSubview:", send(controller_, "table"));
    preferences::layOutCells(controller_);
    cell_ = preferences::cellForRow(
        controller_, settings_screen::rowNamed(send(controller_, "specifiers"), "Picture"));
  }
  void TearDown() override {
    send<void>(send(controller_, "table"), "removeFromSuperview");
    dispatch::runPendingWork();
  }
  // The picker the cell presents, after the user taps its row.
  id presentPicker() {
    send<void>(cell_, "chooseImage");
    return send(controller_.get(), "presentedViewController");
  }
  ns::AutoreleasePool pool_;
  DeviceRoot root_;
  ns::Ref controller_, window_;
  id cell_ = nil;
};

TEST_F(ImagePickerLookTest, ThePreviewIsASmallRoundedGreyFramedClippedSquare) {
  ASSERT_NE(cell_, nil);
  id preview = send(cell_, "accessoryView");
  ASSERT_NE(preview, nil);
  CGRect frame = send<CGRect>(preview, "frame");
  EXPECT_EQ(frame.origin.x, 0);
  EXPECT_EQ(frame.origin.y, 0);
  EXPECT_EQ(frame.size.width, 29);
  EXPECT_EQ(frame.size.height, 29);
  id layer = send(preview, "layer");
  EXPECT_EQ(send<CGFloat>(layer, "cornerRadius"), 5.0);
  EXPECT_EQ(send<CGFloat>(layer, "borderWidth"), 1.5);
  EXPECT_EQ(send<BOOL>(preview, "clipsToBounds"), YES);
  CGColorRef border = send<CGColorRef>(layer, "borderColor");
  ASSERT_NE(border, nullptr);
  const CGFloat* grey = CGColorGetComponents(border);
  size_t count = CGColorGetNumberOfComponents(border);
  ASSERT_GE(count, 2u);
  EXPECT_NEAR(grey[0], 2.0 / 3.0, 1e-6);  // light grey: white 2/3, opaque
  EXPECT_EQ(grey[count - 1], 1.0);
}

TEST_F(ImagePickerLookTest, TheCellKeepsTheHostsStyleAndTheIndicatorCoversThePicker) {
  ASSERT_NE(cell_, nil);
  // The host makes a button row's cell in the default style (0)... and any other style passes
  // through the cell unchanged.
  EXPECT_EQ(send<NSInteger>(cell_, "style"), 0);
  ns::Ref other = ns::Ref::adopt(send(send(cls("ZELImagePickerCell"), "alloc"),
                                      "initWithStyle:reuseIdentifier:specifier:", NSInteger{3},
                                      ns::string("other"), send(cell_, "specifier")));
  EXPECT_EQ(send<NSInteger>(other, "style"), 3);
  send<void>(send(other, "specifier"), "setTarget:", cell_);

  ns::Ref picker(presentPicker());  // kept: the dismissal lets it go
  ASSERT_NE(picker.get(), nil);
  send<void>(send(picker, "view"), "setFrame:", CGRectMake(0, 0, 320, 480));
  send<void>(cell_, "imagePickerController:didFinishPickingMediaWithInfo:", picker.get(),
             ns::dictionary());
  id indicator = nil;
  for (id view : ns::elements(send(send(picker, "view"), "subviews"))) {
    if (ns::isKindOf(view, "UIActivityIndicatorView")) indicator = view;
  }
  ASSERT_NE(indicator, nil);
  EXPECT_EQ(send<NSInteger>(indicator, "activityIndicatorViewStyle"), 0);  // white, large
  EXPECT_EQ(send<CGRect>(indicator, "frame").size.height, 480);
  EXPECT_EQ(send<BOOL>(indicator, "hidesWhenStopped"), YES);
}

TEST_F(ImagePickerLookTest, AVideoTheLibraryCannotHandOverChangesNothingAndSaysWhy) {
  ASSERT_NE(cell_, nil);
  std::string library = device::hostPath("/var/mobile/Media/DCIM/100APPLE");
  fs::create_directories(library);
  std::ofstream(library + "/IMG_0004.MOV") << "a movie";
  id defaults = send(cls("NSUserDefaults"), "standardUserDefaults");
  id picture = ns::data("picture", 7);
  send<void>(defaults, "setObject:forKey:inDomain:", picture, ns::string("pic"),
             ns::string("com.plinka.test"));
  std::string url;
  for (const photos::Item& item : photos::library()) url = item.referenceURL;
  ns::Ref picker(presentPicker());
  id info = ns::dictionary();
  ns::setValue(info, "UIImagePickerControllerReferenceURL",
               send(cls("NSURL"), "URLWithString:", ns::string(url)));
  size_t first = journal::entries().size();
  send<void>(cell_, "imagePickerController:didFinishPickingMediaWithInfo:", picker.get(), info);
  fs::remove(library + "/IMG_0004.MOV");  // gone before the library hands it over: no session
  dispatch::runPendingWork();
  std::vector<std::string> seen;
  for (const std::string& line : settings_screen::journalSince(first)) {
    if (line.find("\"export\"") != std::string::npos ||
        line.find("\"defaults\"") != std::string::npos ||
        line.find("the video cannot be exported") != std::string::npos) {
      seen.push_back(line);
    }
  }
  ASSERT_EQ(seen.size(), 1u) << "nothing exported or stored, one refusal";
  EXPECT_NE(seen[0].find("the video cannot be exported"), std::string::npos) << seen[0];
  EXPECT_EQ(ns::bytes(send(defaults, "objectForKey:inDomain:", ns::string("pic"),
                           ns::string("com.plinka.test"))),
            ns::bytes(picture));
}

}  // namespace
