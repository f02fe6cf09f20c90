// ZELPreferenceController through the Preferences stand-in: nested runs, the version gate, and
// row lists the controller cannot trust.
#include <gtest/gtest.h>
#include <pkprefs3/ZELPreferenceController.h>

#include "fresh_process.h"
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

class ControllerTest : public ::testing::Test {
 protected:
  // Shows a row list in a fresh controller, as the Settings application opens a pane.
  void open(const json& items) {
    controller_ = ns::autorelease(msgSend(ZELPreferenceController::runtimeClass(), sel("new")));
    std::string error;
    ASSERT_TRUE(preferences::showRowList(controller_, root_.writeRows(items), &error)) << error;
    full_ = ns::Ref(allSpecifiers());
  }
  id allSpecifiers() const {
    return object_getIvar(
        controller_, class_getInstanceVariable(object_getClass(controller_), "_allSpecifiers"));
  }
  id row(const std::string& name) const { return rowNamed(full_.get(), name); }
  Lines shown() const { return shownRows(controller_); }
  // The user flips a switch (or changes a value) and the framework calls the controller.
  Lines set(const std::string& name, id value) {
    size_t mark = journal::entries().size();
    msgSend<void>(controller_, sel("setPreferenceValue:specifier:"), value, row(name));
    return journalSince(mark);
  }
  Lines turn(const std::string& name, bool on) { return set(name, ns::boolNumber(on)); }

  ns::AutoreleasePool pool_;
  DeviceRoot root_;
  id controller_ = nil;
  ns::Ref full_;  // the full list as the pane opened, kept past later lists
};

std::string store(const std::string& row, const std::string& key, const std::string& value) {
  return R"({"kind":"store","row":")" + row + R"(","key":")" + key + R"(","value":)" + value + "}";
}

// Outer > Middle > Inner, three deep, and rows on either side.
json nestedList() {
  return json::array({switchRow("Outer", "kOuter", {{"nestedEntryCount", 7}}), plainRow("A"),
                      switchRow("Middle", "kMiddle", {{"nestedEntryCount", 4}}), plainRow("M1"),
                      switchRow("Inner", "kInner", {{"nestedEntryCount", 1}}), plainRow("I1"),
                      plainRow("M2"), plainRow("D"), plainRow("Tail")});
}

TEST_F(ControllerTest, AListWithoutOwnersIsShownWholeAndKeptAsAnImmutableCopy) {
  open({plainRow("One"), switchRow("Two", "kTwo"), plainRow("Three")});
  EXPECT_EQ(shown(), (Lines{"One", "Two", "Three"}));
  id all = allSpecifiers();
  ASSERT_NE(all, nil);
  EXPECT_STREQ(object_getClassName(all), "NSArray");
  EXPECT_NE(all, msgSend(controller_, sel("specifiers")));
  EXPECT_EQ(ns::elements(all), ns::elements(msgSend(controller_, sel("specifiers"))));
}

TEST_F(ControllerTest, OffOwnersHideTheirRunsAtEveryDepthWhenThePaneOpens) {
  root_.store({{"kOuter", true}, {"kMiddle", false}, {"kInner", true}});
  open(nestedList());
  EXPECT_EQ(shown(), (Lines{"Outer", "A", "Middle", "D", "Tail"}));
  EXPECT_EQ(msgSend<NSUInteger>(allSpecifiers(), sel("count")), 9u) << "the full list is kept";

  root_.store({{"kOuter", false}, {"kMiddle", true}, {"kInner", false}});
  open(nestedList());
  EXPECT_EQ(shown(), (Lines{"Outer", "Tail"}));
}

TEST_F(ControllerTest, SwitchesShowAndHideOnlyWhatTheirInnerOwnersLetThrough) {
  root_.store({{"kOuter", false}, {"kMiddle", true}, {"kInner", false}});
  open(nestedList());
  EXPECT_EQ(
      turn("Outer", true),
      (Lines{
          store("Outer", "kOuter", "true"),
          R"({"kind":"insert","after":"Outer","rows":["A","Middle","M1","Inner","M2","D"],"animated":true})"}));
  EXPECT_EQ(shown(), (Lines{"Outer", "A", "Middle", "M1", "Inner", "M2", "D", "Tail"}));

  EXPECT_EQ(turn("Inner", true),
            (Lines{store("Inner", "kInner", "true"),
                   R"({"kind":"insert","after":"Inner","rows":["I1"],"animated":true})"}));
  EXPECT_EQ(turn("Inner", false), (Lines{store("Inner", "kInner", "false"),
                                         R"({"kind":"remove","rows":["I1"],"animated":true})"}));
  EXPECT_EQ(turn("Middle", false),
            (Lines{store("Middle", "kMiddle", "false"),
                   R"({"kind":"remove","rows":["M1","Inner","M2"],"animated":true})"}));
  EXPECT_EQ(shown(), (Lines{"Outer", "A", "Middle", "D", "Tail"}));
  EXPECT_EQ(turn("Outer", false),
            (Lines{store("Outer", "kOuter", "false"),
                   R"({"kind":"remove","rows":["A","Middle","D"],"animated":true})"}))
      << "only the rows that were shown";
  EXPECT_EQ(shown(), (Lines{"Outer", "Tail"}));
  EXPECT_EQ(msgSend<NSUInteger>(allSpecifiers(), sel("count")), 9u) << "runs are copies";
}

// Neither nested runs nor version bounds apply to a row that is not a switch once the pane is
// open: its value is stored and nothing else happens.
TEST_F(ControllerTest, AnOwnerThatIsNotASwitchHidesItsRunButNeverChangesItAndIsNeverGated) {
  root_.store({{"kMode", 0}});
  json list = json::array({{{"cell", "PSLinkListCell"},
                            {"label", "Mode"},
                            {"key", "kMode"},
                            {"defaults", "com.test.pane"},
                            {"minimumVersion", "99.0"},
                            {"nestedEntryCount", 1}},
                           plainRow("Detail"),
                           plainRow("After")});
  open(list);
  EXPECT_EQ(shown(), (Lines{"Mode", "After"}));
  EXPECT_EQ(set("Mode", ns::integerNumber(1)), (Lines{store("Mode", "kMode", "1")}));
  EXPECT_EQ(shown(), (Lines{"Mode", "After"}));
  open(list);
  EXPECT_EQ(shown(), (Lines{"Mode", "Detail", "After"})) << "reads on when the pane opens again";
}

TEST_F(ControllerTest, ACountOfZeroOwnsAnEmptyRun) {
  open({switchRow("Empty", "kEmpty", {{"nestedEntryCount", 0}}), plainRow("After")});
  EXPECT_EQ(turn("Empty", true),
            (Lines{store("Empty", "kEmpty", "true"),
                   R"({"kind":"insert","after":"Empty","rows":[],"animated":true})"}));
  EXPECT_EQ(turn("Empty", false), (Lines{store("Empty", "kEmpty", "false"),
                                         R"({"kind":"remove","rows":[],"animated":true})"}));
  EXPECT_EQ(shown(), (Lines{"Empty", "After"}));
}

class VersionGateTest : public ControllerTest {
 protected:
  void SetUp() override {
    open({switchRow(
              "Both", "kBoth",
              {{"minimumVersion", "13.0"}, {"maximumVersion", "14.8"}, {"nestedEntryCount", 1}}),
          plainRow("Both detail"), switchRow("Min", "kMin", {{"minimumVersion", "14.0"}}),
          switchRow("Max", "kMax", {{"maximumVersion", "14.0"}})});
  }
  static std::string present(const std::string& message) {
    return R"({"kind":"present","title":"Unsupported","message":")" + message +
           R"(","style":1,"actions":[{"title":"Close","style":1,"handler":false}],"animated":true,"completion":false})";
  }
  static constexpr const char* kBothMessage =
      "This feature is only supported on iOS 13.0 to 14.8. Support for more versions may be added "
      "in the future.";
};

TEST_F(VersionGateTest, ARefusedSwitchAlertsStoresOffThenReloadsAndKeepsItsRunHidden) {
  for (const char* version : {"12.5", "14.9", "15.0"}) {
    device::setSystemVersion(version);
    EXPECT_EQ(turn("Both", true),
              (Lines{store("Both", "kBoth", "true"), present(kBothMessage),
                     store("Both", "kBoth", "false"),
                     R"({"kind":"remove","rows":["Both detail"],"animated":true})",
                     R"({"kind":"reload","row":"Both","animated":true})"}))
        << version;
    EXPECT_EQ(shown(), (Lines{"Both", "Min", "Max"}));
    EXPECT_EQ(root_.stored()["kBoth"], false);
    msgSend<void>(msgSend(controller_, sel("presentedViewController")),
                  sel("dismissViewControllerAnimated:completion:"), NO, id{nil});
  }
}

TEST_F(VersionGateTest, BoundsAreInclusiveAndEachMessageNamesItsBounds) {
  for (const char* version : {"13.0", "14.8", "14.4"}) {
    device::setSystemVersion(version);
    EXPECT_EQ(turn("Both", true),
              (Lines{store("Both", "kBoth", "true"),
                     R"({"kind":"insert","after":"Both","rows":["Both detail"],"animated":true})"}))
        << version;
    turn("Both", false);
  }
  device::setSystemVersion("14.0");
  EXPECT_EQ(turn("Min", true), (Lines{store("Min", "kMin", "true")}));
  EXPECT_EQ(turn("Max", true), (Lines{store("Max", "kMax", "true")}));

  device::setSystemVersion("13.7");
  Lines refused = turn("Min", true);
  ASSERT_EQ(refused.size(), 4u);
  EXPECT_EQ(refused[1], present("This feature is only supported on iOS 14.0 and higher."));
  msgSend<void>(controller_, sel("dismissViewControllerAnimated:completion:"), NO, id{nil});

  device::setSystemVersion("14.1");
  refused = turn("Max", true);
  ASSERT_EQ(refused.size(), 4u);
  EXPECT_EQ(refused[1], present("This feature is only supported on iOS 14.0 and lower. Support "
                                "for more versions may be added in the future."));
}

TEST_F(VersionGateTest, TurningASwitchOffIsNeverRefused) {
  device::setSystemVersion("12.0");
  EXPECT_EQ(turn("Both", false),
            (Lines{store("Both", "kBoth", "false"),
                   R"({"kind":"remove","rows":["Both detail"],"animated":true})"}));
  EXPECT_EQ(turn("Min", false), (Lines{store("Min", "kMin", "false")}));
  device::setSystemVersion("15.0");
  EXPECT_EQ(turn("Max", false), (Lines{store("Max", "kMax", "false")}));
}

// A settings bundle's controller that overrides setPreferenceValue:specifier: sees the off store
// of a refused switch, because the controller sends it to itself.
TEST(VersionGateSubclassTest, TheOffStoreGoesThroughTheMostDerivedOverride) {
  testing_support::ChildRun run = testing_support::inFreshProcess([] {
    DeviceRoot root;
    static Class base = ZELPreferenceController::runtimeClass();
    ClassBuilder pane("PaneController", base);
    pane.method(
        "setPreferenceValue:specifier:", +[](id self, SEL, id value, id row) {
          journal::record("override", {{"value", ns::toJson(value)}});
          sendSuper<void>(self, objc_getClass("PaneController"),
                          "setPreferenceValue:specifier:", value, row);
        });
    pane.register_();
    id controller = ns::autorelease(msgSend(objc_getClass("PaneController"), sel("new")));
    std::string error;
    preferences::showRowList(
        controller,
        root.writeRows(json::array({switchRow("Gated", "kGated", {{"minimumVersion", "99"}})})),
        &error);
    id row = msgSend(msgSend(controller, sel("specifiers")), sel("firstObject"));
    preferences::userChangesValue(controller, row, ns::boolNumber(true));
  });
  ASSERT_EQ(run.failure, "");
  Lines kinds;
  for (const journal::Entry& entry : run.journal) {
    kinds.push_back(entry["kind"].get<std::string>() +
                    (entry.contains("value") ? " " + entry["value"].dump() : ""));
  }
  EXPECT_EQ(kinds, (Lines{"override true", "store true", "present", "override false", "store false",
                          "reload"}));
}

// Row lists that break the controller's expectations are clipped to the list instead.
TEST_F(ControllerTest, RunsReachingPastTheEndStopThere) {
  root_.store({{"kLast", false}});
  open({plainRow("First"), switchRow("Last", "kLast", {{"nestedEntryCount", 5}}), plainRow("X"),
        plainRow("Y")});
  EXPECT_EQ(shown(), (Lines{"First", "Last"}));
  EXPECT_EQ(turn("Last", true),
            (Lines{store("Last", "kLast", "true"),
                   R"({"kind":"insert","after":"Last","rows":["X","Y"],"animated":true})"}));
}

// Longer than a short run: the list and the run are copied through the heap.
TEST_F(ControllerTest, ALongRunIsHiddenAndShownWholeAndInOrder) {
  root_.store({{"kLong", false}});
  json list =
      json::array({plainRow("Head"), switchRow("Long", "kLong", {{"nestedEntryCount", 20}})});
  json names = json::array();
  for (int i = 1; i <= 20; ++i) {
    list.push_back(plainRow("R" + std::to_string(i)));
    names.push_back("R" + std::to_string(i));
  }
  list.push_back(plainRow("Tail"));
  open(list);
  EXPECT_EQ(shown(), (Lines{"Head", "Long", "Tail"}));
  std::string rows = names.dump();
  EXPECT_EQ(turn("Long", true),
            (Lines{store("Long", "kLong", "true"),
                   R"({"kind":"insert","after":"Long","rows":)" + rows + R"(,"animated":true})"}));
  EXPECT_EQ(turn("Long", false),
            (Lines{store("Long", "kLong", "false"),
                   R"({"kind":"remove","rows":)" + rows + R"(,"animated":true})"}));
  EXPECT_EQ(shown(), (Lines{"Head", "Long", "Tail"}));
}

TEST_F(ControllerTest, CountsThatAreNotUsableOwnNothing) {
  json items = json::array(
      {switchRow("Negative", "kNegative", {{"nestedEntryCount", -2}}), plainRow("N1"),
       switchRow("Word", "kWord", {{"nestedEntryCount", "many"}}), plainRow("W1"),
       switchRow("List", "kList", {{"nestedEntryCount", json::array({1})}}), plainRow("L1"),
       switchRow("Text", "kText", {{"nestedEntryCount", "1"}}), plainRow("T1")});
  open(items);
  EXPECT_EQ(shown(), (Lines{"Negative", "N1", "Word", "W1", "List", "L1", "Text"}))
      << "a numeric string counts";
  for (const char* name : {"Negative", "Word", "List"}) {
    Lines journal = turn(name, true);
    ASSERT_EQ(journal.size(), 2u) << name;
    EXPECT_EQ(journal[1], R"({"kind":"insert","after":")" + std::string(name) +
                              R"(","rows":[],"animated":true})");
  }
}

TEST_F(ControllerTest, OwnersOutsideTheFullListOwnNothing) {
  id early = ns::autorelease(msgSend(ZELPreferenceController::runtimeClass(), sel("new")));
  open({switchRow("Owner", "kOwner", {{"nestedEntryCount", 1}}), plainRow("Child")});
  id owner = row("Owner");
  size_t mark = journal::entries().size();
  msgSend<void>(early, sel("setPreferenceValue:specifier:"), ns::boolNumber(true), owner);
  id stranger = ns::autorelease(msgSend(objc_getClass("PSSpecifier"), sel("new")));
  msgSend<void>(
      stranger, sel("setProperties:"),
      settings_screen::fromJson(switchRow("Stranger", "kStranger", {{"nestedEntryCount", 1}})));
  msgSend<void>(stranger, sel("setCellType:"), PSSwitchCell);
  msgSend<void>(controller_, sel("setPreferenceValue:specifier:"), ns::boolNumber(true), stranger);
  EXPECT_EQ(journalSince(mark),
            (Lines{store("Owner", "kOwner", "true"),
                   R"({"kind":"insert","after":"Owner","rows":[],"animated":true})",
                   store("kStranger", "kStranger", "true"),
                   R"({"kind":"insert","after":"kStranger","rows":[],"animated":true})"}));
}

TEST_F(ControllerTest, ARowListedTwiceCannotNestWithoutEnd) {
  open(json::array({plainRow("Start")}));
  auto makeOwner = [](const char* name, int count) {
    id owner = ns::autorelease(msgSend(objc_getClass("PSSpecifier"), sel("new")));
    msgSend<void>(owner, sel("setProperties:"),
                  settings_screen::fromJson(switchRow(name, name, {{"nestedEntryCount", count}})));
    msgSend<void>(owner, sel("setName:"), ns::string(name));
    return owner;
  };
  id first = makeOwner("First", 2);
  id second = makeOwner("Second", 2);
  id rows = ns::mutableArray({first, second, first, second});
  msgSend<void>(controller_, sel("applyModificationsToSpecifiers:"), rows);
  // Each owner's run holds the other owner and itself, so each recursion hides the whole run
  // it was given and nothing is left to remove: what matters is that the walk ends.
  EXPECT_EQ(ns::elements(rows), (std::vector<id>{first, second, first, second}));
}

TEST_F(ControllerTest, EachNewListReplacesTheOneRunsAreMeasuredIn) {
  root_.store({{"kOwner", true}});
  open({switchRow("Owner", "kOwner", {{"nestedEntryCount", 1}}), plainRow("Old child")});
  id owner = row("Owner");
  id replacement = ns::mutableArray({owner, rowNamed(full_.get(), "Old child")});
  id extra = ns::autorelease(msgSend(objc_getClass("PSSpecifier"), sel("new")));
  msgSend<void>(extra, sel("setName:"), ns::string("New child"));
  msgSend<void>(replacement, sel("insertObject:atIndex:"), extra, 1);
  msgSend<void>(controller_, sel("applyModificationsToSpecifiers:"), replacement);
  EXPECT_EQ(turn("Owner", false),
            (Lines{store("Owner", "kOwner", "false"),
                   R"({"kind":"remove","rows":["New child"],"animated":true})"}));
}

}  // namespace
