// The view layer and what stands around the cells: the view tree and its callbacks, layers,
// table cells, named images, bundles, URLs and the application that opens them.
#include <Preferences/Preferences.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIImage.h>
#include <UIKit/UITableViewCell.h>
#include <device/journal.h>
#include <device/screen.h>
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "temporary_folder.h"

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

namespace {

// --- a view class that writes down what the platform tells it --------------------------------

Lines& heard() {
  static Lines lines;
  return lines;
}
std::map<id, std::string>& names() {
  static std::map<id, std::string> all;
  return all;
}
std::string nameOf(id view) {
  auto found = names().find(view);
  return found != names().end() ? found->second : "?";
}
void didMoveToSuperview(id self, SEL) {
  id superview = msgSend(self, sel("superview"));
  heard().push_back(nameOf(self) + " superview " + (superview == nil ? "nil" : nameOf(superview)));
}
void didMoveToWindow(id self, SEL) {
  heard().push_back(nameOf(self) + " window " +
                    (msgSend(self, sel("window")) == nil ? "nil" : "yes"));
}

id listeningView(const std::string& name) {
  static Class cls = ClassBuilder("ListeningView", objc_getClass("UIView"))
                         .method("didMoveToSuperview", didMoveToSuperview)
                         .method("didMoveToWindow", didMoveToWindow)
                         .register_();
  id view = ns::autorelease(msgSend(cls, sel("new")));
  names()[view] = name;
  return view;
}

id newWindow() {
  return ns::autorelease(msgSend(objc_getClass("UIWindow"), sel("new")));
}

TEST(ViewTreeTest, ViewsHearOfSuperviewAndWindowAndSubviewsFollowTheirSuperview) {
  ns::AutoreleasePool pool;
  id window = newWindow();
  names()[window] = "window";
  id parent = listeningView("parent");
  id child = listeningView("child");
  heard().clear();

  msgSend<void>(parent, sel("addSubview:"), child);
  EXPECT_EQ(heard(), (Lines{"child superview parent"})) << "no window yet: only the superview";
  heard().clear();

  msgSend<void>(window, sel("addSubview:"), parent);
  EXPECT_EQ(heard(), (Lines{"parent window yes", "child window yes", "parent superview window"}))
      << "the child follows its superview into the window";
  EXPECT_EQ(msgSend(child, sel("window")), window);
  heard().clear();

  msgSend<void>(parent, sel("addSubview:"), child);
  EXPECT_TRUE(heard().empty()) << "adding to the same superview only brings to the front";

  msgSend<void>(child, sel("removeFromSuperview"));
  EXPECT_EQ(heard(), (Lines{"child window nil", "child superview nil"}));
  EXPECT_EQ(msgSend(child, sel("window")), nil);
  EXPECT_EQ(ns::elements(msgSend(parent, sel("subviews"))).size(), 0u);
  heard().clear();
  msgSend<void>(child, sel("removeFromSuperview"));
  EXPECT_TRUE(heard().empty()) << "not in a superview: nothing to tell";

  msgSend<void>(parent, sel("addSubview:"), child);
  heard().clear();
  msgSend<void>(parent, sel("removeFromSuperview"));
  EXPECT_EQ(heard(), (Lines{"parent window nil", "child window nil", "parent superview nil"}));

  EXPECT_THROW(msgSend<void>(child, sel("addSubview:"), child), ns::Exception);
  EXPECT_THROW(msgSend<void>(child, sel("addSubview:"), parent), ns::Exception)
      << "a superview cannot go below its own subview";
}

TEST(ViewTreeTest, SubviewsKeepTheirOrderThroughManyMovesToTheFrontAndOut) {
  // A model list beside the real one: every move brings one view to the front or takes one
  // out, from the back, the middle and the front, so that the list is closed up many times.
  ns::AutoreleasePool pool;
  id parent = ns::autorelease(msgSend(objc_getClass("UIView"), sel("new")));
  id other = ns::autorelease(msgSend(objc_getClass("UIView"), sel("new")));
  std::vector<id> views;
  for (int i = 0; i < 40; ++i) {
    views.push_back(ns::autorelease(msgSend(objc_getClass("UIView"), sel("new"))));
    msgSend<void>(parent, sel("addSubview:"), views.back());
  }
  std::vector<id> model = views;
  unsigned step = 7;
  for (int move = 0; move < 400; ++move) {
    step = step * 1103515245u + 12345u;
    id view = views[(step >> 8) % views.size()];
    auto at = std::find(model.begin(), model.end(), view);
    if (at != model.end()) model.erase(at);
    switch ((step >> 4) % 4) {
      case 0:  // out
        msgSend<void>(view, sel("removeFromSuperview"));
        break;
      case 1:  // to another superview
        msgSend<void>(other, sel("addSubview:"), view);
        break;
      default:  // to the front, whether it was in or not
        msgSend<void>(parent, sel("addSubview:"), view);
        model.push_back(view);
    }
    ASSERT_EQ(ns::elements(msgSend(parent, sel("subviews"))), model) << "after move " << move;
  }
  for (id view : model) EXPECT_EQ(msgSend(view, sel("superview")), parent);
}

TEST(ViewTreeTest, ASubviewLivesAsLongAsItsSuperviewKeepsIt) {
  ns::AutoreleasePool pool;
  id parent = msgSend(objc_getClass("UIView"), sel("new"));
  id child = msgSend(objc_getClass("UIView"), sel("new"));
  msgSend<void>(parent, sel("addSubview:"), child);
  ns::release(child);
  EXPECT_EQ(ns::retainCount(child), 1u) << "the superview holds it";
  ns::retain(child);
  ns::release(parent);
  EXPECT_EQ(msgSend(child, sel("superview")), nil) << "no pointer to a superview that went";
  ns::release(child);
}

TEST(ViewTreeTest, ClippingIsTheLayersMaskAndTheBorderColourIsKept) {
  ns::AutoreleasePool pool;
  id view = ns::autorelease(msgSend(objc_getClass("UIView"), sel("new")));
  id layer = msgSend(view, sel("layer"));
  ASSERT_NE(layer, nil);
  EXPECT_FALSE(msgSend<BOOL>(view, sel("clipsToBounds")));
  msgSend<void>(view, sel("setClipsToBounds:"), BOOL{YES});
  EXPECT_TRUE(msgSend<BOOL>(layer, sel("masksToBounds")));
  msgSend<void>(layer, sel("setMasksToBounds:"), BOOL{NO});
  EXPECT_FALSE(msgSend<BOOL>(view, sel("clipsToBounds")));
  {
    ns::AutoreleasePool inner;
    id grey = msgSend(objc_getClass("UIColor"), sel("colorWithWhite:alpha:"), 0.5, 1.0);
    msgSend<void>(layer, sel("setBorderColor:"), msgSend<CGColorRef>(grey, sel("CGColor")));
  }
  CGColorRef kept = msgSend<CGColorRef>(layer, sel("borderColor"));
  ASSERT_NE(kept, nullptr) << "the layer keeps the colour after the UIColor went";
  EXPECT_EQ(CGColorGetNumberOfComponents(kept), 2u);
  EXPECT_DOUBLE_EQ(CGColorGetComponents(kept)[0], 0.5);
}

TEST(TableViewCellTest, OnlyTheDefaultStyleHasNoDetailLine) {
  ns::AutoreleasePool pool;
  for (UITableViewCellStyle style : {0, 1, 2, 3}) {
    id cell =
        ns::autorelease(msgSend(msgSend(objc_getClass("UITableViewCell"), sel("alloc")),
                                sel("initWithStyle:reuseIdentifier:"), style, ns::string("id")));
    EXPECT_EQ(msgSend(cell, sel("detailTextLabel")) == nil, style == 0) << "style " << style;
    EXPECT_NE(msgSend(cell, sel("textLabel")), nil);
    EXPECT_NE(msgSend(cell, sel("imageView")), nil);
    EXPECT_EQ(msgSend<NSInteger>(cell, sel("selectionStyle")), 3);
    EXPECT_EQ(msgSend<NSInteger>(cell, sel("accessoryType")), 0);
  }
}

TEST(TableViewCellTest, TheFrameworkRefreshGivesRowsThatLeadSomewhereADisclosure) {
  ns::AutoreleasePool pool;
  id link = msgSend(objc_getClass("PSSpecifier"),
                    sel("preferenceSpecifierNamed:target:set:get:detail:cell:edit:"),
                    ns::string("Sounds"), id{nil}, SEL{nullptr}, SEL{nullptr}, Class{Nil},
                    PSLinkCell, Class{Nil});
  id plain =
      msgSend(objc_getClass("PSSpecifier"),
              sel("preferenceSpecifierNamed:target:set:get:detail:cell:edit:"), ns::string("Plain"),
              id{nil}, SEL{nullptr}, SEL{nullptr}, Class{Nil}, PSStaticTextCell, Class{Nil});
  id cell = ns::autorelease(msgSend(msgSend(objc_getClass("PSTableCell"), sel("alloc")),
                                    sel("initWithStyle:reuseIdentifier:specifier:"), NSInteger{0},
                                    id{nil}, plain));
  msgSend<void>(cell, sel("setSelectionStyle:"), NSInteger{1});
  msgSend<void>(cell, sel("refreshCellContentsWithSpecifier:"), plain);
  EXPECT_EQ(msgSend<NSInteger>(cell, sel("accessoryType")), 0);
  EXPECT_EQ(msgSend<NSInteger>(cell, sel("selectionStyle")), 1);
  msgSend<void>(cell, sel("refreshCellContentsWithSpecifier:"), link);
  EXPECT_EQ(msgSend(cell, sel("specifier")), link);
  EXPECT_EQ(msgSend<NSInteger>(cell, sel("accessoryType")), 1);
  EXPECT_EQ(msgSend<NSInteger>(cell, sel("selectionStyle")), 3);
  EXPECT_EQ(ns::utf8(msgSend(msgSend(cell, sel("textLabel")), sel("text"))), "Sounds");
}

// --- named images and bundles ---------------------------------------------------------------

void writePng(const std::string& path, int pixels) {
  std::vector<uint8_t> rgba(static_cast<size_t>(pixels * pixels * 4), 200);
  stbi_write_png(path.c_str(), pixels, pixels, 4, rgba.data(), pixels * 4);
}

TEST(NamedImageTest, TheScreensScaleComesFirstThenLargerThenSmaller) {
  ns::AutoreleasePool pool;
  testing_support::TemporaryDeviceRoot root;
  fs::create_directories(root.path() + "/b.bundle");
  writePng(root.path() + "/b.bundle/icon@2x.png", 58);
  writePng(root.path() + "/b.bundle/icon.png", 29);
  writePng(root.path() + "/b.bundle/big@3x.png", 87);
  id bundle = msgSend(objc_getClass("NSBundle"), sel("bundleWithPath:"), ns::string("/b.bundle"));
  ASSERT_NE(bundle, nil);
  EXPECT_EQ(msgSend(objc_getClass("NSBundle"), sel("bundleWithPath:"), ns::string("/none")), nil);
  auto scaleOf = [&](const char* name, double screen) {
    device::setScreenScale(screen);
    id image =
        msgSend(objc_getClass("UIImage"), sel("imageNamed:inBundle:"), ns::string(name), bundle);
    return image == nil ? 0.0 : msgSend<double>(image, sel("scale"));
  };
  EXPECT_EQ(scaleOf("icon", 3), 2.0) << "no @3x: the @2x file";
  EXPECT_EQ(scaleOf("icon", 2), 2.0);
  EXPECT_EQ(scaleOf("icon", 1), 1.0);
  EXPECT_EQ(scaleOf("big", 2), 3.0) << "a larger scale before none";
  EXPECT_EQ(scaleOf("icon.png", 3), 2.0) << "the extension may be given";
  EXPECT_EQ(scaleOf("missing", 3), 0.0);
  device::setScreenScale(3);
  id image =
      msgSend(objc_getClass("UIImage"), sel("imageNamed:inBundle:"), ns::string("icon"), bundle);
  EXPECT_EQ(uikit::imageAssetName(image), "icon");
  id view = ns::autorelease(
      msgSend(msgSend(objc_getClass("UIImageView"), sel("alloc")), sel("initWithImage:"), image));
  CGRect frame = msgSend<CGRect>(view, sel("frame"));
  EXPECT_EQ(frame.size.width, 29.0) << "sized in points";
  EXPECT_EQ(frame.size.height, 29.0);
}

// --- URLs and strings -------------------------------------------------------------------------

id url(const char* text) {
  return msgSend(objc_getClass("NSURL"), sel("URLWithString:"), ns::string(text));
}

TEST(URLTest, OnlyTheCharactersAURLAllowsMakeOne) {
  ns::AutoreleasePool pool;
  for (const char* good : {"https://discord.gg/abc", "twitter://user?screen_name=a%20b&x=1",
                           "tweetbot:///user_profile/x", "mailto:a@b.c", "https://x.y/#frag"}) {
    EXPECT_NE(url(good), nil) << good;
  }
  for (const char* bad :
       {"", "https://x.y/a b", "https://x.y/%", "https://x.y/%4", "https://x.y/%zz",
        "https://x.y/\xc3\xa9", "https://x.y/\"q\"", "https://x.y/{}", "a|b"}) {
    EXPECT_EQ(url(bad), nil) << bad;
  }
  EXPECT_EQ(msgSend(objc_getClass("NSURL"), sel("URLWithString:"), id{nil}), nil);
  EXPECT_THROW(
      msgSend(msgSend(objc_getClass("NSURL"), sel("alloc")), sel("initWithString:"), id{nil}),
      ns::Exception);
  EXPECT_THROW(msgSend(objc_getClass("NSURL"), sel("fileURLWithPath:"), id{nil}), ns::Exception);
}

TEST(URLTest, PercentEncodingKeepsTheQuerySetAndEncodesEachUtf8Byte) {
  ns::AutoreleasePool pool;
  id set = msgSend(objc_getClass("NSCharacterSet"), sel("URLQueryAllowedCharacterSet"));
  auto encoded = [&](const char* text) {
    return ns::utf8(
        msgSend(ns::string(text), sel("stringByAddingPercentEncodingWithAllowedCharacters:"), set));
  };
  EXPECT_EQ(encoded("a b&c=d?/+"), "a%20b&c=d?/+");
  EXPECT_EQ(encoded("#%\"<>[]^`{|}\\"), "%23%25%22%3C%3E%5B%5D%5E%60%7B%7C%7D%5C");
  EXPECT_EQ(encoded("Jos\xc3\xa9"), "Jos%C3%A9") << "upper-case hex, one escape per byte";
  EXPECT_EQ(encoded("!$'()*,-.:;@_~09AZaz"), "!$'()*,-.:;@_~09AZaz");
}

TEST(URLTest, AppendingNothingRaisesAsOnTheDevice) {
  ns::AutoreleasePool pool;
  try {
    msgSend(ns::string("https://discord.gg/"), sel("stringByAppendingString:"), id{nil});
    ADD_FAILURE() << "no exception";
  } catch (const ns::Exception& raised) {
    EXPECT_EQ(raised.name(), "NSInvalidArgumentException");
    EXPECT_NE(raised.reason().find("nil argument"), std::string::npos);
  }
}

// --- the application --------------------------------------------------------------------------

void installApp(const std::string& appFolder, const std::string& infoPlist) {
  fs::create_directories(appFolder);
  std::ofstream(appFolder + "/Info.plist") << infoPlist;
}
std::string schemesPlist(const std::vector<std::string>& schemes) {
  std::string list;
  for (const std::string& s : schemes) list += "<string>" + s + "</string>";
  return "<plist version=\"1.0\"><dict><key>CFBundleURLTypes</key><array><dict>"
         "<key>CFBundleURLSchemes</key><array>" +
         list + "</array></dict></array></dict></plist>";
}

TEST(ApplicationTest, InstalledAppsDecideWhatOpensAndEveryCallIsJournalled) {
  ns::AutoreleasePool pool;
  testing_support::TemporaryDeviceRoot root;
  installApp(root.path() + "/Applications/Mail.app", schemesPlist({"MailTo"}));
  installApp(root.path() + "/var/containers/Bundle/Application/AB-CD/Client.app",
             schemesPlist({"tweetbot", "other"}));
  installApp(root.path() + "/var/containers/Bundle/Application/EF-01/Broken.app",
             "<plist><dict><key>CFBundleURLTypes</key><array><dict>");
  installApp(root.path() + "/var/containers/Bundle/Application/EF-02/Odd.app",
             "<plist version=\"1.0\"><dict><key>CFBundleURLTypes</key><string>x</string></dict>"
             "</plist>");
  EXPECT_EQ(uikit::installedURLSchemes(), (std::vector<std::string>{"mailto", "tweetbot", "other"}))
      << "malformed Info.plist files give no scheme";

  id app = msgSend(objc_getClass("UIApplication"), sel("sharedApplication"));
  ASSERT_EQ(app, msgSend(objc_getClass("UIApplication"), sel("sharedApplication")));
  size_t first = journal::entries().size();
  auto canOpen = [&](const char* text) {
    return msgSend<BOOL>(app, sel("canOpenURL:"), url(text));
  };
  EXPECT_TRUE(canOpen("tweetbot://"));
  EXPECT_TRUE(canOpen("mailto:a@b.c")) << "schemes compare without case";
  EXPECT_TRUE(canOpen("https://x.y/"));
  EXPECT_TRUE(canOpen("http://x.y/"));
  EXPECT_FALSE(canOpen("twitter://"));
  EXPECT_FALSE(msgSend<BOOL>(app, sel("canOpenURL:"), id{nil}));
  msgSend<void>(app, sel("openURL:options:completionHandler:"), url("twitter://user"),
                ns::dictionary(), id{nil});
  Lines seen;
  for (size_t i = first; i < journal::entries().size(); ++i) {
    journal::Entry e = journal::entries()[i];
    e.erase("t");
    seen.push_back(e.dump());
  }
  EXPECT_EQ(seen, (Lines{R"({"kind":"can-open","url":"tweetbot://","answer":true})",
                         R"({"kind":"can-open","url":"mailto:a@b.c","answer":true})",
                         R"({"kind":"can-open","url":"https://x.y/","answer":true})",
                         R"({"kind":"can-open","url":"http://x.y/","answer":true})",
                         R"({"kind":"can-open","url":"twitter://","answer":false})",
                         R"({"kind":"can-open","url":null,"answer":false})",
                         R"({"kind":"open-url","url":"twitter://user"})"}));
}

}  // namespace
