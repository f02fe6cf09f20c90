// The Preferences stand-in: row lists, stored values, what a list controller shows, and alerts.
#include <UIKit/UIAlertController.h>
#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

#include "settings_screen.h"

using settings_screen::DeviceRoot;
using settings_screen::journalSince;
using settings_screen::plainRow;
using settings_screen::rowNamed;
using settings_screen::shownRows;
using settings_screen::switchRow;
using json = nlohmann::ordered_json;
using Lines = std::vector<std::string>;

namespace {

id newListController() {
  return ns::autorelease(msgSend(objc_getClass("PSListController"), sel("new")));
}

std::string loadError(const std::string& path) {
  std::string error;
  EXPECT_EQ(preferences::loadRowList(path, nil, &error), nil);
  return error;
}

TEST(RowListTest, XmlAndBinaryListsGiveTheSameRows) {
  ns::AutoreleasePool pool;
  DeviceRoot root;
  json items = {{{"cell", "PSGroupCell"}, {"label", "Group"}},
                switchRow("Switch", "kSwitch", {{"nestedEntryCount", 2}, {"mine", "x"}}),
                {{"cell", "PSMadeUpCell"}, {"label", "Odd"}},
                {{"key", "kNoCell"}}};
  for (bool binary : {false, true}) {
    id target = newListController();
    std::string title;
    std::string error;
    id rows = preferences::loadRowList(root.writeRows(items, binary), target, &error, &title);
    ASSERT_NE(rows, nil) << error;
    EXPECT_EQ(title, "Test");
    std::vector<id> all = ns::elements(rows);
    ASSERT_EQ(all.size(), 4u);
    std::vector<PSCellType> types;
    for (id row : all) types.push_back(msgSend<PSCellType>(row, sel("cellType")));
    EXPECT_EQ(types, (std::vector<PSCellType>{PSGroupCell, PSSwitchCell, -1, -1}));
    id row = all[1];
    EXPECT_EQ(ns::utf8(msgSend(row, sel("name"))), "Switch");
    EXPECT_EQ(msgSend(row, sel("target")), target);
    EXPECT_EQ(ns::toJson(msgSend(row, sel("properties"))), json(items[1]))
        << "every attribute, the pane's own too";
    EXPECT_EQ(msgSend<int>(msgSend(row, sel("propertyForKey:"), ns::string("nestedEntryCount")),
                           sel("intValue")),
              2);
    EXPECT_EQ(msgSend(row, sel("propertyForKey:"), ns::string("absent")), nil);
    EXPECT_EQ(preferences::rowName(all[3]), "kNoCell") << "named by key without a label";
  }
}

TEST(RowListTest, ListsThatCannotBeReadAreClearErrors) {
  ns::AutoreleasePool pool;
  DeviceRoot root;
  std::string folder = root.path();
  EXPECT_NE(loadError(folder + "/missing.plist").find("no such file"), std::string::npos);
  EXPECT_NE(loadError(folder).find("a folder"), std::string::npos);
  std::ofstream(folder + "/garbage.plist") << "\x01\x02 not a plist";
  EXPECT_NE(loadError(folder + "/garbage.plist").find("is not a property list"), std::string::npos);
  ns::writePlist(folder + "/array.plist", settings_screen::fromJson(json::array({1, 2})));
  EXPECT_NE(loadError(folder + "/array.plist").find("is not a dictionary"), std::string::npos);
  ns::writePlist(folder + "/noitems.plist", settings_screen::fromJson({{"items", "rows"}}));
  EXPECT_NE(loadError(folder + "/noitems.plist").find("no items array"), std::string::npos);
  std::string badItem = root.writeRows({plainRow("One"), "two"});
  EXPECT_NE(loadError(badItem).find("item 2 is not a dictionary"), std::string::npos);

  id controller = newListController();
  std::string error;
  EXPECT_FALSE(preferences::showRowList(controller, badItem, &error));
  EXPECT_TRUE(shownRows(controller).empty());
}

class PreferenceValueTest : public ::testing::Test {
 protected:
  id show(const json& items) {
    controller_ = newListController();
    std::string error;
    EXPECT_TRUE(preferences::showRowList(controller_, root_.writeRows(items), &error)) << error;
    return controller_;
  }
  id row(const std::string& name) {
    return rowNamed(msgSend(controller_, sel("specifiers")), name);
  }
  json read(const std::string& name) {
    return ns::toJson(msgSend(controller_, sel("readPreferenceValue:"), row(name)));
  }
  void set(const std::string& name, id value) {
    msgSend<void>(controller_, sel("setPreferenceValue:specifier:"), value, row(name));
  }

  ns::AutoreleasePool pool_;
  DeviceRoot root_;
  id controller_ = nil;
};

TEST_F(PreferenceValueTest, ReadsTheStoredValueElseTheDefaultAndNeedsDomainAndKey) {
  root_.store({{"kStored", true}, {"kNegated", true}, {"kNoDomain", true}});
  show({switchRow("Stored", "kStored", {{"default", false}}),
        switchRow("Defaulted", "kAbsent", {{"default", "fallback"}}),
        switchRow("Negated", "kNegated", {{"negate", true}}),
        switchRow("Negated default", "kAbsent", {{"negate", true}, {"default", false}}),
        {{"label", "No domain"}, {"key", "kNoDomain"}, {"default", true}},
        {{"label", "No key"}, {"defaults", "com.test.pane"}, {"default", true}}});
  EXPECT_EQ(read("Stored"), true);
  EXPECT_EQ(read("Defaulted"), "fallback");
  EXPECT_EQ(read("Negated"), false);
  EXPECT_EQ(read("Negated default"), true);
  EXPECT_EQ(read("No domain"), nullptr);
  EXPECT_EQ(read("No key"), nullptr);
}

TEST_F(PreferenceValueTest, StoresUnderTheKeyInTheDomainThenPostsTheNotification) {
  show({switchRow("Plain", "kPlain", {{"PostNotification", "com.test.changed"}}),
        switchRow("Negated", "kNegated", {{"negate", true}}),
        {{"label", "Keyless"}, {"defaults", "com.test.pane"}},
        {{"label", "Odd key"}, {"key", 7}, {"defaults", "com.test.pane"}}});
  size_t mark = journal::entries().size();
  set("Plain", ns::boolNumber(true));
  set("Negated", ns::boolNumber(true));
  set("Keyless", ns::integerNumber(3));
  set("Odd key", ns::integerNumber(4));
  EXPECT_EQ(journalSince(mark),
            (Lines{R"({"kind":"store","row":"Plain","key":"kPlain","value":true})",
                   R"({"kind":"notify","name":"com.test.changed"})",
                   R"({"kind":"store","row":"Negated","key":"kNegated","value":true})",
                   R"({"kind":"store","row":"Keyless","key":null,"value":3})",
                   R"({"kind":"store","row":"Odd key","key":null,"value":4})"}));
  EXPECT_EQ(root_.stored(), json({{"kPlain", true}, {"kNegated", false}}));
  EXPECT_EQ(read("Negated"), true) << "a negated row reads back what was set";

  set("Plain", nil);
  EXPECT_EQ(root_.stored(), json({{"kNegated", false}})) << "storing nothing removes the key";
  EXPECT_EQ(read("Plain"), false);
}

TEST_F(PreferenceValueTest, ReadsAgainAfterStoresInTheProcessAndWhenThePaneOpens) {
  root_.store({{"kValue", 1}});
  show(json::array({switchRow("Value", "kValue")}));
  EXPECT_EQ(read("Value"), 1);
  id defaults = msgSend(objc_getClass("NSUserDefaults"), sel("standardUserDefaults"));
  msgSend<void>(defaults, sel("setObject:forKey:inDomain:"), ns::integerNumber(2),
                ns::string("kValue"), ns::string("com.test.pane"));
  EXPECT_EQ(read("Value"), 2) << "NSUserDefaults and the framework share one store";

  root_.store({{"kValue", 3}});  // another process writes the file
  show(json::array({switchRow("Value", "kValue")}));
  EXPECT_EQ(read("Value"), 3);

  std::ofstream(root_.domainFile("com.test.pane")) << "not a plist";
  show(json::array({switchRow("Value", "kValue", {{"default", 9}})}));
  EXPECT_EQ(read("Value"), 9) << "an unreadable domain reads as empty";
  set("Value", ns::integerNumber(4));
  EXPECT_EQ(root_.stored(), json({{"kValue", 4}}));
  EXPECT_TRUE(std::filesystem::exists(root_.domainFile("com.test.pane") + ".unreadable"))
      << "the user's unreadable file is kept";
}

class ShownRowsTest : public PreferenceValueTest {
 protected:
  void SetUp() override {
    show({plainRow("A"), plainRow("B"), plainRow("C")});
    hidden_ = ns::autorelease(msgSend(objc_getClass("PSSpecifier"), sel("new")));
    msgSend<void>(hidden_, sel("setName:"), ns::string("Hidden"));
    extra_ = ns::autorelease(msgSend(objc_getClass("PSSpecifier"), sel("new")));
    msgSend<void>(extra_, sel("setName:"), ns::string("Extra"));
  }
  id hidden_ = nil;
  id extra_ = nil;
};

TEST_F(ShownRowsTest, InsertsDirectlyAfterAShownAnchorOnly) {
  size_t mark = journal::entries().size();
  msgSend<void>(controller_, sel("insertContiguousSpecifiers:afterSpecifier:animated:"),
                ns::array({extra_, hidden_}), row("A"), YES);
  EXPECT_EQ(shownRows(controller_), (Lines{"A", "Extra", "Hidden", "B", "C"}));
  msgSend<void>(controller_, sel("insertContiguousSpecifiers:afterSpecifier:animated:"),
                ns::array({extra_, row("C")}), row("B"), YES);
  EXPECT_EQ(shownRows(controller_), (Lines{"A", "Extra", "Hidden", "B", "C"}))
      << "rows already shown are not shown twice";

  id stranger = ns::autorelease(msgSend(objc_getClass("PSSpecifier"), sel("new")));
  msgSend<void>(controller_, sel("insertContiguousSpecifiers:afterSpecifier:animated:"),
                ns::array({stranger}), stranger, NO);
  EXPECT_EQ(shownRows(controller_).size(), 5u) << "an anchor not shown changes nothing";
  EXPECT_EQ(journalSince(mark),
            (Lines{R"({"kind":"insert","after":"A","rows":["Extra","Hidden"],"animated":true})",
                   R"({"kind":"insert","after":"B","rows":["Extra","C"],"animated":true})",
                   R"({"kind":"insert","after":null,"rows":[null],"animated":false})"}));
}

TEST_F(ShownRowsTest, RemovesShownRowsAndIgnoresTheOthers) {
  size_t mark = journal::entries().size();
  msgSend<void>(controller_, sel("removeContiguousSpecifiers:animated:"),
                ns::array({row("B"), hidden_}), YES);
  EXPECT_EQ(shownRows(controller_), (Lines{"A", "C"}));
  msgSend<void>(controller_, sel("removeContiguousSpecifiers:animated:"), ns::array({}), NO);
  msgSend<void>(controller_, sel("reloadSpecifier:animated:"), row("A"), YES);
  msgSend<void>(controller_, sel("reloadSpecifier:"), hidden_);
  EXPECT_EQ(shownRows(controller_), (Lines{"A", "C"}));
  EXPECT_EQ(journalSince(mark), (Lines{R"({"kind":"remove","rows":["B","Hidden"],"animated":true})",
                                       R"({"kind":"remove","rows":[],"animated":false})",
                                       R"({"kind":"reload","row":"A","animated":true})",
                                       R"({"kind":"reload","row":"Hidden","animated":false})"}));
}

TEST_F(PreferenceValueTest, AUserChangeReachesTheRowsSetterOnlyWhenItChangesSomething) {
  root_.store({{"kOn", true}});
  show({switchRow("On", "kOn"),
        {{"cell", "PSEditTextCell"},
         {"label", "Text"},
         {"key", "kText"},
         {"defaults", "com.test.pane"}}});
  size_t mark = journal::entries().size();
  EXPECT_TRUE(preferences::userChangesValue(controller_, row("On"), ns::boolNumber(true)));
  EXPECT_TRUE(journalSince(mark).empty()) << "a switch set to what it shows sends nothing";
  EXPECT_TRUE(preferences::userChangesValue(controller_, row("On"), ns::integerNumber(0)));
  EXPECT_TRUE(preferences::userChangesValue(controller_, row("Text"), ns::string("hi")));
  EXPECT_TRUE(preferences::userChangesValue(controller_, row("Text"), ns::string("hi")));
  id hidden = ns::autorelease(msgSend(objc_getClass("PSSpecifier"), sel("new")));
  EXPECT_FALSE(preferences::userChangesValue(controller_, hidden, ns::boolNumber(true)));
  EXPECT_EQ(journalSince(mark),
            (Lines{R"({"kind":"store","row":"On","key":"kOn","value":0})",
                   R"({"kind":"store","row":"Text","key":"kText","value":"hi"})",
                   R"({"kind":"store","row":"Text","key":"kText","value":"hi"})"}));
}

TEST(AlertTest, PresentingRecordsTheAlertAndTappingAnActionClosesIt) {
  ns::AutoreleasePool pool;
  EXPECT_EQ(class_getSuperclass(objc_getClass("PSListController")),
            objc_getClass("UIViewController"));
  EXPECT_EQ(class_getSuperclass(objc_getClass("UIAlertController")),
            objc_getClass("UIViewController"));
  EXPECT_EQ(class_getSuperclass(objc_getClass("UIViewController")), objc_getClass("UIResponder"));
  EXPECT_EQ(class_getSuperclass(objc_getClass("UIResponder")), objc_getClass("NSObject"));

  id controller = newListController();
  auto makeAlert = [](const char* title) {
    id alert = msgSend(objc_getClass("UIAlertController"),
                       sel("alertControllerWithTitle:message:preferredStyle:"), ns::string(title),
                       ns::string("Why"), UIAlertControllerStyleAlert);
    // The handler only has to be there to be recorded: an object that does not answer invoke:
    // is never run.
    for (auto [name, style, handler] :
         {std::tuple{"Close", UIAlertActionStyleCancel, id{nil}},
          std::tuple{"Delete", UIAlertActionStyleDestructive, ns::string("handler")}}) {
      msgSend<void>(alert, sel("addAction:"),
                    msgSend(objc_getClass("UIAlertAction"), sel("actionWithTitle:style:handler:"),
                            ns::string(name), style, handler));
    }
    return alert;
  };
  id first = makeAlert("First");
  id second = makeAlert("Second");
  size_t mark = journal::entries().size();
  msgSend<void>(controller, sel("presentViewController:animated:completion:"), first, YES, id{nil});
  msgSend<void>(controller, sel("presentViewController:animated:completion:"), second, NO,
                ns::string("completion"));
  EXPECT_EQ(msgSend(controller, sel("presentedViewController")), first)
      << "one presented controller at a time";
  EXPECT_FALSE(uikit::tapAlertAction(second, 0)) << "not on screen";
  EXPECT_FALSE(uikit::tapAlertAction(first, 2));
  EXPECT_TRUE(uikit::tapAlertAction(first, 0));
  EXPECT_EQ(msgSend(controller, sel("presentedViewController")), nil);
  Lines lines = journalSince(mark);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], R"({"kind":"present","title":"First","message":"Why","style":1,"actions":)"
                      R"([{"title":"Close","style":1,"handler":false},)"
                      R"({"title":"Delete","style":2,"handler":true}],)"
                      R"("animated":true,"completion":false})");
  EXPECT_NE(lines[1].find(R"("title":"Second")"), std::string::npos);
  EXPECT_NE(lines[1].find(R"("animated":false,"completion":true})"), std::string::npos);
  EXPECT_EQ(lines[2].rfind(R"({"kind":"dismiss")", 0), 0u);
}

}  // namespace
