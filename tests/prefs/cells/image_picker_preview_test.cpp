// ZELImagePickerCell inside the process: ZELParseImage, and the preview made once per cell.
#include <Preferences/Preferences.h>
#include <UIKit/UIImage.h>
#include <gtest/gtest.h>
#include <pkprefs3/ZELImagePickerCell.h>
#include <pkprefs3/ZELPreferenceController.h>

#include "settings_screen.h"

namespace {

using settings_screen::DeviceRoot;
using json = nlohmann::ordered_json;

id pngOf(int width, int height) {
  std::vector<uint8_t> rgba(static_cast<size_t>(width * height * 4), 200);
  CGDataProviderRef provider =
      CGDataProviderCreateWithData(nullptr, rgba.data(), rgba.size(), nullptr);
  CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
  CGImageRef image = CGImageCreate(static_cast<size_t>(width), static_cast<size_t>(height), 8, 32,
                                   static_cast<size_t>(width) * 4, rgb, kCGImageAlphaLast, provider,
                                   nullptr, false, kCGRenderingIntentDefault);
  id png = UIImagePNGRepresentation(send(cls("UIImage"), "imageWithCGImage:", image));
  CGImageRelease(image);
  CGColorSpaceRelease(rgb);
  CGDataProviderRelease(provider);
  return png;
}

TEST(ImagePickerPreviewTest, ParseImageGivesNothingForBytesThatAreNoPicture) {
  ns::AutoreleasePool pool;
  EXPECT_EQ(ZELParseImage(ns::data("GIF89a..", 8)), nil);
  EXPECT_EQ(ZELParseImage(ns::string("not data")), nil);
  EXPECT_EQ(ZELParseImage(nil), nil);
  id image = ZELParseImage(pngOf(3, 2));
  ASSERT_NE(image, nil);
  EXPECT_EQ(send<CGSize>(image, "size").width, 3);
}

TEST(ImagePickerPreviewTest, TwoMovesIntoAWindowBuildThePreviewOnceFromTheStoredValue) {
  DeviceRoot root;
  ns::AutoreleasePool pool;
  id defaults = send(cls("NSUserDefaults"), "standardUserDefaults");
  send<void>(defaults, "setObject:forKey:inDomain:", pngOf(4, 3), ns::string("pic"),
             ns::string("com.plinka.test"));
  json rows = json::array({{{"cell", "PSButtonCell"},
                            {"label", "Picture"},
                            {"cellClass", "ZELImagePickerCell"},
                            {"key", "pic"},
                            {"defaults", "com.plinka.test"}}});
  id controller = ns::autorelease(msgSend(ZELPreferenceController::runtimeClass(), sel("new")));
  std::string error;
  ASSERT_TRUE(preferences::showRowList(controller, root.writeRows(rows), &error)) << error;
  ns::Ref window = ns::Ref::adopt(msgSend(objc_getClass("UIWindow"), sel("new")));
  id table = send(controller, "table");
  send<void>(window.get(), "addSubview:", table);
  preferences::layOutCells(controller);
  id cell = preferences::cellForRow(
      controller, settings_screen::rowNamed(send(controller, "specifiers"), "Picture"));
  ASSERT_NE(cell, nil);
  id preview = send(cell, "accessoryView");
  ASSERT_NE(preview, nil);
  EXPECT_EQ(send(preview, "superview"), cell);
  EXPECT_EQ(send<CGSize>(send(preview, "image"), "size").width, 4);
  EXPECT_EQ(send<long>(preview, "contentMode"), 2);
  // The stored value changes, the cell leaves the window and comes back: the same preview,
  // showing what it showed.
  send<void>(defaults, "setObject:forKey:inDomain:", pngOf(7, 7), ns::string("pic"),
             ns::string("com.plinka.test"));
  send<void>(table, "removeFromSuperview");
  send<void>(window.get(), "addSubview:", table);
  EXPECT_EQ(send(cell, "accessoryView"), preview);
  EXPECT_EQ(send<CGSize>(send(preview, "image"), "size").width, 4);
  size_t imageViews = 0;
  for (id view : ns::elements(send(cell, "subviews")))
    imageViews += ns::isKindOf(view, "UIImageView");
  EXPECT_EQ(imageViews, 1u);
  send<void>(table, "removeFromSuperview");
}

// The controller owns the table that owns the picker cells; a cell that held the controller
// back would keep the whole pane alive once it is left.
TEST(ImagePickerPreviewTest, ACellDoesNotKeepItsListControllerAlive) {
  DeviceRoot root;
  ns::AutoreleasePool pool;
  json rows = json::array();
  for (const char* label : {"One", "Two"}) {
    rows.push_back({{"cell", "PSButtonCell"},
                    {"label", label},
                    {"cellClass", "ZELImagePickerCell"},
                    {"key", label},
                    {"defaults", "com.plinka.test"}});
  }
  ns::Ref controller = ns::Ref::adopt(msgSend(ZELPreferenceController::runtimeClass(), sel("new")));
  std::string error;
  ASSERT_TRUE(preferences::showRowList(controller.get(), root.writeRows(rows), &error)) << error;
  NSUInteger before = ns::retainCount(controller.get());
  preferences::layOutCells(controller.get());
  id specifiers = send(controller.get(), "specifiers");
  for (const char* label : {"One", "Two"}) {
    id cell =
        preferences::cellForRow(controller.get(), settings_screen::rowNamed(specifiers, label));
    ASSERT_NE(cell, nil) << label;
    Ivar held = class_getInstanceVariable(object_getClass(cell), "listController");
    ASSERT_EQ(object_getIvar(cell, held), controller.get()) << label;
  }
  EXPECT_EQ(ns::retainCount(controller.get()), before);
}

}  // namespace
