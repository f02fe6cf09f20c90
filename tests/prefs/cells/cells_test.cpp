// The button, link, invite and profile cells on the settings host: a row list shown by the
// list controller, each row's cell made by the framework in a window, taps and selections, and
// what the journal saw.
#include <gtest/gtest.h>
#include <pkprefs3/ZELLinkCells.h>
#include <pkprefs3/ZELPreferenceController.h>
#include <stb_image_write.h>

#include <UIKit/UIImage.h>

#include <fstream>

#include "settings_screen.h"

using settings_screen::DeviceRoot;
using settings_screen::journalSince;
using settings_screen::rowNamed;
using json = nlohmann::ordered_json;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

Lines& actionsRun() {
  static Lines runs;
  return runs;
}
void visit(id, SEL, id specifier) {
  actionsRun().push_back(preferences::rowName(specifier).get<std::string>());
}
// The settings bundle's own controller: a ZELPreferenceController with one action.
Class paneControllerClass() {
  static Class cls = ClassBuilder("TestPaneController", ZELPreferenceController::runtimeClass())
                         .method("visit:", visit)
                         .register_();
  return cls;
}

json row(const std::string& label, const std::string& cellClass, json more = json::object()) {
  json r = {{"cell", "PSButtonCell"}, {"label", label}, {"cellClass", cellClass}};
  for (const auto& [name, value] : more.items()) r[name] = value;
  return r;
}

class CellsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string bundle = device::hostPath("/var/LIY/PreferenceBundles/Plinka3.bundle");
    fs::create_directories(bundle);
    for (const char* name : {"safari", "discord", "twitter"}) {
      std::vector<uint8_t> rgba(87 * 87 * 4, 128);
      stbi_write_png((bundle + "/" + name + "@3x.png").c_str(), 87, 87, 4, rgba.data(), 87 * 4);
    }
    window_ = ns::Ref::adopt(msgSend(objc_getClass("UIWindow"), sel("new")));
  }
  void TearDown() override {
    if (controller_ != nil)
      msgSend<void>(msgSend(controller_, sel("table")), sel("removeFromSuperview"));
  }
  // Opens a pane on these rows, as the Settings application does: the list shown, the table in
  // the window, the cells made.
  void open(const std::vector<json>& rows) {
    json items = json::array();
    for (const json& r : rows) items.push_back(r);
    controller_ = ns::autorelease(msgSend(paneControllerClass(), sel("new")));
    std::string error;
    ASSERT_TRUE(preferences::showRowList(controller_, root_.writeRows(items), &error)) << error;
    msgSend<void>(window_.get(), sel("addSubview:"), msgSend(controller_, sel("table")));
    preferences::layOutCells(controller_);
  }
  id rowNamed(const std::string& name) const {
    return settings_screen::rowNamed(msgSend(controller_, sel("specifiers")), name);
  }
  id cell(const std::string& name) const {
    return preferences::cellForRow(controller_, rowNamed(name));
  }
  Lines tap(const std::string& name) {
    size_t mark = journal::entries().size();
    EXPECT_TRUE(preferences::userTapsRow(controller_, rowNamed(name)));
    return journalSince(mark);
  }
  Lines select(const std::string& name, bool selected) {
    size_t mark = journal::entries().size();
    msgSend<void>(cell(name), sel("setSelected:animated:"), BOOL(selected), BOOL{NO});
    return journalSince(mark);
  }
  // Only the entries of these kinds.
  static Lines only(const Lines& lines, const std::vector<std::string>& kinds) {
    Lines kept;
    for (const std::string& line : lines) {
      std::string kind = json::parse(line)["kind"];
      if (std::find(kinds.begin(), kinds.end(), kind) != kinds.end()) kept.push_back(line);
    }
    return kept;
  }
  void installClient(const std::string& name, const std::string& scheme) {
    std::string app =
        device::hostPath("/var/containers/Bundle/Application/" + name + "/" + name + ".app");
    fs::create_directories(app);
    std::ofstream(app + "/Info.plist")
        << "<plist version=\"1.0\"><dict><key>CFBundleURLTypes</key><array><dict>"
           "<key>CFBundleURLSchemes</key><array><string>"
        << scheme << "</string></array></dict></array></dict></plist>";
  }
  std::string detail(const std::string& name) const {
    id label = msgSend(cell(name), sel("detailTextLabel"));
    return label == nil ? "(no detail line)" : ns::utf8(msgSend(label, sel("text")));
  }
  NSInteger look(const std::string& name, const char* getter) const {
    return msgSend<NSInteger>(cell(name), sel(getter));
  }

  ns::AutoreleasePool pool_;
  DeviceRoot root_;
  ns::Ref window_;
  id controller_ = nil;
};

std::string opened(const std::string& url) {
  return R"({"kind":"open-url","url":")" + url + R"("})";
}
std::string probe(const std::string& url, bool answer) {
  return R"({"kind":"can-open","url":")" + url + R"(","answer":)" + (answer ? "true" : "false") +
         "}";
}

TEST_F(CellsTest, EveryCellIsMadeInStyleZeroAndEndsInTheSubtitleStyleWithItsLook) {
  size_t mark = journal::entries().size();
  open({{{"cell", "PSGroupCell"}, {"label", "About"}},
        row("Button", "ZELButtonCell", {{"subtitle", "Tap me"}}),
        row("Site", "ZELLinkCell", {{"link", "https://x.y/"}}),
        row("Chat", "ZELDiscordCell", {{"invite", "abc"}, {"subtitle", "Come in"}}),
        row("Me", "ZELTwitterCell", {{"user", "me"}}),
        {{"cell", "PSSwitchCell"}, {"label", "Plain"}}});
  EXPECT_EQ(only(journalSince(mark), {"cell"}),
            (Lines{R"({"kind":"cell","row":"Button","class":"ZELButtonCell","style":0})",
                   R"({"kind":"cell","row":"Site","class":"ZELLinkCell","style":0})",
                   R"({"kind":"cell","row":"Chat","class":"ZELDiscordCell","style":0})",
                   R"({"kind":"cell","row":"Me","class":"ZELTwitterCell","style":0})",
                   R"({"kind":"cell","row":"Plain","class":"PSSwitchTableCell","style":0})"}))
      << "the group row gets no cell";
  for (const char* name : {"Button", "Site", "Chat", "Me"}) {
    id made = cell(name);
    EXPECT_EQ(msgSend<NSInteger>(made, sel("style")), 3) << name;
    EXPECT_EQ(msgSend(made, sel("window")), window_.get()) << name;
    EXPECT_EQ(msgSend(made, sel("specifier")), rowNamed(name));
    id label = msgSend(made, sel("detailTextLabel"));
    EXPECT_EQ(msgSend(label, sel("textColor")),
              msgSend(objc_getClass("UIColor"), sel("systemGrayColor")));
    id imageView = msgSend(made, sel("imageView"));
    EXPECT_TRUE(msgSend<BOOL>(imageView, sel("clipsToBounds"))) << name;
    EXPECT_EQ(msgSend<NSInteger>(imageView, sel("contentMode")), 2) << name;
  }
  EXPECT_EQ(detail("Button"), "Tap me");
  EXPECT_EQ(detail("Site"), "") << "no subtitle: an empty detail line, not a missing one";
  EXPECT_NE(msgSend(msgSend(cell("Site"), sel("detailTextLabel")), sel("text")), nil);
  EXPECT_EQ(detail("Plain"), "(no detail line)") << "the framework's cell keeps style 0";
  EXPECT_EQ(msgSend(cell("Button"), sel("accessoryView")), nil);
  std::vector<std::string> accessories;
  for (const char* name : {"Site", "Chat", "Me"}) {
    id image = msgSend(msgSend(cell(name), sel("accessoryView")), sel("image"));
    accessories.push_back(uikit::imageAssetName(image));
    CGRect frame = msgSend<CGRect>(msgSend(cell(name), sel("accessoryView")), sel("frame"));
    EXPECT_EQ(frame.size.width, 29.0) << "the view is the image's size in points";
  }
  EXPECT_EQ(accessories, (std::vector<std::string>{"safari", "discord", "twitter"}));
}

TEST_F(CellsTest, TheButtonKeepsItsLookWhateverTheHostDoesToIt) {
  open({row("Button", "ZELButtonCell", {{"cell", "PSLinkCell"}})});
  EXPECT_EQ(look("Button", "accessoryType"), 0) << "the host's refresh set a disclosure";
  EXPECT_EQ(look("Button", "selectionStyle"), 1);
  msgSend<void>(controller_, sel("reloadSpecifier:animated:"), rowNamed("Button"), BOOL{YES});
  EXPECT_EQ(look("Button", "accessoryType"), 0);
  EXPECT_EQ(look("Button", "selectionStyle"), 1);
  id table = msgSend(controller_, sel("table"));
  msgSend<void>(cell("Button"), sel("setAccessoryType:"), NSInteger{1});
  msgSend<void>(cell("Button"), sel("setSelectionStyle:"), NSInteger{2});
  msgSend<void>(cell("Button"), sel("removeFromSuperview"));
  EXPECT_EQ(look("Button", "accessoryType"), 0) << "after the base's didMoveToSuperview";
  EXPECT_EQ(look("Button", "selectionStyle"), 1);
  msgSend<void>(table, sel("addSubview:"), cell("Button"));
}

TEST_F(CellsTest, ATapSelectsRunsTheRowsActionAndDeselects) {
  open({row("Button", "ZELButtonCell", {{"action", "visit:"}}), row("Quiet", "ZELButtonCell")});
  actionsRun().clear();
  EXPECT_EQ(tap("Button"),
            (Lines{R"({"kind":"select","row":"Button","selected":true,"animated":true})",
                   R"({"kind":"select","row":"Button","selected":false,"animated":true})"}));
  EXPECT_EQ(actionsRun(), (Lines{"Button"})) << "the action went to the row's target with the row";
  EXPECT_EQ(tap("Quiet").size(), 2u) << "no action: only the selection";
  EXPECT_FALSE(msgSend<BOOL>(cell("Button"), sel("isSelected")));
}

TEST_F(CellsTest, SelectingOpensTheAddressEveryTimeAndDeselectingNothing) {
  open({row("Site", "ZELLinkCell", {{"link", "https://plinka.example.org/a?b=c"}}),
        row("Chat", "ZELDiscordCell", {{"invite", "%41b/c?d"}}),
        row("Slashed", "ZELDiscordCell", {{"invite", "/x/"}})});
  EXPECT_EQ(select("Site", false),
            (Lines{R"({"kind":"select","row":"Site","selected":false,"animated":false})"}));
  EXPECT_EQ(only(tap("Site"), {"open-url"}), (Lines{opened("https://plinka.example.org/a?b=c")}));
  EXPECT_EQ(only(select("Site", true), {"open-url"}),
            (Lines{opened("https://plinka.example.org/a?b=c")}));
  EXPECT_EQ(only(tap("Chat"), {"open-url"}), (Lines{opened("https://discord.gg/%41b/c?d")}))
      << "the invite is appended as it is, never encoded";
  EXPECT_EQ(only(tap("Slashed"), {"open-url"}), (Lines{opened("https://discord.gg//x/")}))
      << "nor joined as a path";
  // The link and the invite are read from the specifier at each selection.
  msgSend<void>(rowNamed("Site"), sel("setProperty:forKey:"), ns::string("https://other.example/"),
                ns::string("link"));
  EXPECT_EQ(only(select("Site", true), {"open-url"}), (Lines{opened("https://other.example/")}));
}

TEST_F(CellsTest, AProfileOpensInTheFirstClientInstalledElseOnTheWeb) {
  open({row("Me", "ZELTwitterCell", {{"user", "Jos\xc3\xa9 & co=1"}})});
  EXPECT_EQ(only(select("Me", true), {"can-open", "open-url"}),
            (Lines{probe("aphelion://", false), probe("tweetbot://", false),
                   probe("twitterrific://", false), probe("tweetings://", false),
                   probe("twitter://", false),
                   opened("https://mobile.twitter.com/Jos%C3%A9%20&%20co=1")}));
  installClient("Official", "twitter");
  EXPECT_EQ(only(select("Me", true), {"open-url"}),
            (Lines{opened("twitter://user?screen_name=Jos%C3%A9%20&%20co=1")}))
      << "& and = pass into the query format too; each call probes afresh";
  installClient("Aphelion", "aphelion");
  EXPECT_EQ(only(select("Me", true), {"can-open", "open-url"}),
            (Lines{probe("aphelion://", true), opened("aphelion://profile/Jos%C3%A9%20&%20co=1")}))
      << "the first in the table wins and later ones are not asked";
}

TEST_F(CellsTest, EachClientOpensTheProfileInItsOwnForm) {
  open({row("Me", "ZELTwitterCell", {{"user", "me"}})});
  const struct {
    const char* app;
    const char* scheme;
    const char* address;
  } clients[] = {
      {"Aphelion", "aphelion", "aphelion://profile/me"},
      {"Tweetbot", "tweetbot", "tweetbot:///user_profile/me"},
      {"Twitterrific", "twitterrific", "twitterrific:///profile?screen_name=me"},
      {"Tweetings", "tweetings", "tweetings:///user?screen_name=me"},
      {"Official", "twitter", "twitter://user?screen_name=me"},
  };
  for (const auto& client : clients) {
    installClient(client.app, client.scheme);
    EXPECT_EQ(only(select("Me", true), {"open-url"}), (Lines{opened(client.address)}))
        << "only " << client.app << " installed";
    fs::remove_all(
        device::hostPath("/var/containers/Bundle/Application/" + std::string(client.app)));
  }
}

TEST_F(CellsTest, AProfileCellKeepsTheUserItWasMadeWith) {
  open({row("Me", "ZELTwitterCell", {{"user", "first"}}),
        row("Other", "ZELTwitterCell", {{"user", "second"}})});
  msgSend<void>(cell("Me"), sel("refreshCellContentsWithSpecifier:"), rowNamed("Other"));
  msgSend<void>(rowNamed("Me"), sel("setProperty:forKey:"), ns::string("changed"),
                ns::string("user"));
  EXPECT_EQ(only(select("Me", true), {"open-url"}),
            (Lines{opened("https://mobile.twitter.com/first")}));
}

id subclassAddress(id, SEL, id name) {
  return ns::string("https://profiles.example/" + ns::utf8(name));
}

id noAddress(id, SEL, id) {
  return nil;
}

TEST_F(CellsTest, ASubclassChoosesTheProfileAddressThroughItsClass) {
  static Class subclass = [] {
    ClassBuilder builder("TestProfileCell", ZELTwitterCell::runtimeClass());
    builder.classMethod("_urlForUsername:", subclassAddress);
    return builder.register_();
  }();
  static Class silent = [] {
    ClassBuilder builder("TestNoProfileCell", ZELTwitterCell::runtimeClass());
    builder.classMethod("_urlForUsername:", noAddress);
    return builder.register_();
  }();
  (void)subclass;
  (void)silent;
  open({row("Me", "TestProfileCell", {{"user", "me"}}),
        row("Nobody", "TestNoProfileCell", {{"user", "me"}})});
  EXPECT_EQ(only(select("Me", true), {"can-open", "open-url"}),
            (Lines{opened("https://profiles.example/me")}));
  EXPECT_EQ(
      only(select("Nobody", true), {"can-open", "open-url", "log"}),
      (Lines{
          R"({"kind":"log","text":"open refused for Nobody: _urlForUsername: gave no address","library":"libpkprefs3.so"})"}));
}

TEST_F(CellsTest, ARowWithoutItsAddressOpensNothingAndSaysWhy) {
  open({row("Site", "ZELLinkCell"), row("Chat", "ZELDiscordCell"), row("Me", "ZELTwitterCell"),
        row("Spaced", "ZELLinkCell", {{"link", "https://x.y/a b"}}),
        row("Number", "ZELLinkCell", {{"link", 42}}),
        row("Bad invite", "ZELDiscordCell", {{"invite", "a b"}}),
        // Rows without a label are named by their key, else by their id.
        row("", "ZELLinkCell", {{"key", "siteKey"}, {"id", "siteId"}}),
        row("", "ZELDiscordCell", {{"id", "chatId"}})});
  Lines seen;
  for (const char* name :
       {"Site", "Chat", "Me", "Spaced", "Number", "Bad invite", "siteKey", "chatId"}) {
    for (const std::string& line : only(tap(name), {"open-url", "log", "can-open"})) {
      seen.push_back(line);
    }
  }
  EXPECT_EQ(
      seen,
      (Lines{
          R"({"kind":"log","text":"open refused for Site: the row has no \"link\" text","library":"libpkprefs3.so"})",
          R"({"kind":"log","text":"open refused for Chat: the row has no \"invite\" text","library":"libpkprefs3.so"})",
          R"({"kind":"log","text":"open refused for Me: the row has no \"user\" text","library":"libpkprefs3.so"})",
          R"({"kind":"log","text":"open refused for Spaced: \"https://x.y/a b\" is no valid URL","library":"libpkprefs3.so"})",
          R"({"kind":"log","text":"open refused for Number: the row has no \"link\" text","library":"libpkprefs3.so"})",
          R"({"kind":"log","text":"open refused for Bad invite: \"https://discord.gg/a b\" is no valid URL","library":"libpkprefs3.so"})",
          R"({"kind":"log","text":"open refused for siteKey: the row has no \"link\" text","library":"libpkprefs3.so"})",
          R"({"kind":"log","text":"open refused for chatId: the row has no \"invite\" text","library":"libpkprefs3.so"})"}));
}

TEST_F(CellsTest, ACellClassThatIsNoCellGetsTheFrameworksCellAndALine) {
  size_t mark = journal::entries().size();
  open({row("Ghost", "NoSuchCell"), row("Odd", "NSString")});
  EXPECT_EQ(
      only(journalSince(mark), {"cell", "unknown-cell-class"}),
      (Lines{
          R"({"kind":"unknown-cell-class","row":"Ghost","class":"NoSuchCell","reason":"no such class"})",
          R"({"kind":"cell","row":"Ghost","class":"PSTableCell","style":0})",
          R"({"kind":"unknown-cell-class","row":"Odd","class":"NSString","reason":"not a table cell"})",
          R"({"kind":"cell","row":"Odd","class":"PSTableCell","style":0})"}));
}

TEST_F(CellsTest, AMissingImageLeavesAnEmptyAccessoryView) {
  fs::remove_all(device::hostPath("/var/LIY/PreferenceBundles/Plinka3.bundle"));
  open({row("Site", "ZELLinkCell", {{"link", "https://x.y/"}})});
  id accessory = msgSend(cell("Site"), sel("accessoryView"));
  ASSERT_NE(accessory, nil);
  EXPECT_EQ(msgSend(accessory, sel("image")), nil);
  EXPECT_EQ(only(tap("Site"), {"open-url"}), (Lines{opened("https://x.y/")}));
}

}  // namespace
