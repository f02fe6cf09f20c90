// The framework's cells for each row type, list pages and pushed controllers, through the
// Preferences stand-in as the Settings application drives it.
#include <UIKit/UIControls.h>
#include <gtest/gtest.h>

#include "settings_screen.h"

using settings_screen::DeviceRoot;
using settings_screen::journalSince;
using settings_screen::rowNamed;
using settings_screen::shownRows;
using json = nlohmann::ordered_json;

namespace {

constexpr const char* kDomain = "com.test.pane";

json row(const std::string& cell, const std::string& label, json more = json::object()) {
  json out = {{"cell", cell}, {"label", label}, {"defaults", kDomain}, {"key", label}};
  for (const auto& [name, value] : more.items()) out[name] = value;
  return out;
}

// A pane on one row list: the controller, its rows laid out with cells as on screen.
struct Pane {
  explicit Pane(const DeviceRoot& root, const json& items, Class cls = Nil) {
    controller =
        ns::Ref::adopt(msgSend(cls != Nil ? cls : objc_getClass("PSListController"), sel("new")));
    std::string error;
    EXPECT_TRUE(preferences::showRowList(controller, root.writeRows(items), &error)) << error;
    preferences::layOutCells(controller);
  }
  ~Pane() { msgSend<void>(controller.get(), sel("setSpecifiers:"), id{nil}); }
  id rowOf(const std::string& name) const {
    return rowNamed(msgSend(preferences::topController(controller), sel("specifiers")), name);
  }
  id cellOf(const std::string& name) const {
    return preferences::cellForRow(preferences::topController(controller), rowOf(name));
  }
  std::string valueShown(const std::string& name) const {
    id text = msgSend(msgSend(cellOf(name), sel("valueLabel")), sel("text"));
    return text != nil ? ns::utf8(text) : "";
  }
  ns::Ref controller;
};

std::string textOf(id string) {
  return string != nil ? ns::utf8(string) : "(nil)";
}

TEST(RowTypesTest, EachTypeGetsTheFrameworksCellAndAProductCellClassComesFirst) {
  ns::AutoreleasePool pool;
  DeviceRoot root;
  size_t first = journal::entries().size();
  Pane pane(root,
            {row("PSSwitchCell", "Switch"), row("PSSegmentCell", "Segment"),
             row("PSSliderCell", "Slider"), row("PSEditTextCell", "Text"),
             row("PSSecureEditTextCell", "Secret"), row("PSTitleValueCell", "Title value"),
             row("PSStaticTextCell", "Static"), row("PSLinkListCell", "List"),
             row("PSLinkCell", "Link"), row("PSButtonCell", "Button"), row("PSSwichCell", "Typo"),
             row("PSSwitchCell", "Own", {{"cellClass", "PSTableCell"}})});
  std::vector<std::string> classes;
  for (const char* name : {"Switch", "Segment", "Slider", "Text", "Secret", "Title value", "Static",
                           "List", "Link", "Button", "Typo", "Own"}) {
    classes.push_back(ns::className(pane.cellOf(name)));
  }
  EXPECT_EQ(classes,
            (std::vector<std::string>{
                "PSSwitchTableCell", "PSSegmentTableCell", "PSSliderTableCell",
                "PSEditableTableCell", "PSEditableTableCell", "PSTableCell", "PSTableCell",
                "PSTableCell", "PSTableCell", "PSTableCell", "PSTableCell", "PSTableCell"}));
  std::vector<std::string> lines = journalSince(first);
  EXPECT_EQ(std::count(lines.begin(), lines.end(),
                       R"({"kind":"unknown-cell-type","row":"Typo","cell":"PSSwichCell",)"
                       R"("reason":"no such cell type"})"),
            1);
  EXPECT_TRUE(ns::isKindOf(msgSend(pane.cellOf("Switch"), sel("accessoryView")), "UISwitch"))
      << "a switch cell's control is its accessory view";
}

TEST(RowTypesTest, ControlsShowTheStoredValue) {
  ns::AutoreleasePool pool;
  DeviceRoot root;
  root.store({{"Switch", true},
              {"Segment", "b"},
              {"Slider", 7.5},
              {"Text", "typed"},
              {"List", 2},
              {"Title value", 42}});
  Pane pane(root, {row("PSSwitchCell", "Switch"),
                   row("PSSegmentCell", "Segment",
                       {{"validValues", {"a", "b", "c"}}, {"validTitles", {"A", "B", "C"}}}),
                   row("PSSliderCell", "Slider", {{"min", 5}, {"max", 10}, {"showValue", true}}),
                   row("PSEditTextCell", "Text", {{"placeholder", "Type here"}}),
                   row("PSSecureEditTextCell", "Secret",
                       {{"placeholder", "Hidden"},
                        {"keyboard", "numbers"},
                        {"autoCaps", "none"},
                        {"autoCorrection", false}}),
                   row("PSTitleValueCell", "Title value"),
                   row("PSLinkListCell", "List",
                       {{"validValues", {1, 2}}, {"validTitles", {"One", "Two"}}}),
                   row("PSLinkListCell", "Unlisted", {{"validValues", {1}}, {"default", 9}})});
  EXPECT_TRUE(msgSend<BOOL>(msgSend(pane.cellOf("Switch"), sel("control")), sel("isOn")));
  id segments = msgSend(pane.cellOf("Segment"), sel("control"));
  ASSERT_EQ(msgSend<NSUInteger>(segments, sel("numberOfSegments")), 3u);
  EXPECT_EQ(textOf(msgSend(segments, sel("titleForSegmentAtIndex:"), NSUInteger{2})), "C");
  EXPECT_EQ(msgSend<NSInteger>(segments, sel("selectedSegmentIndex")), 1);
  id slider = msgSend(pane.cellOf("Slider"), sel("control"));
  EXPECT_EQ(msgSend<float>(slider, sel("minimumValue")), 5.0f);
  EXPECT_EQ(msgSend<float>(slider, sel("maximumValue")), 10.0f);
  EXPECT_EQ(msgSend<float>(slider, sel("value")), 7.5f);
  EXPECT_EQ(pane.valueShown("Slider"), "7.5");
  id text = msgSend(pane.cellOf("Text"), sel("textField"));
  EXPECT_EQ(textOf(msgSend(text, sel("text"))), "typed");
  EXPECT_EQ(textOf(msgSend(text, sel("placeholder"))), "Type here");
  EXPECT_FALSE(msgSend<BOOL>(text, sel("isSecureTextEntry")));
  id secret = msgSend(pane.cellOf("Secret"), sel("textField"));
  EXPECT_EQ(msgSend(secret, sel("text")), nil);
  EXPECT_TRUE(msgSend<BOOL>(secret, sel("isSecureTextEntry")));
  EXPECT_EQ(msgSend<NSInteger>(secret, sel("keyboardType")), 2) << "numbers and punctuation";
  EXPECT_EQ(msgSend<NSInteger>(secret, sel("autocapitalizationType")), 0);
  EXPECT_EQ(msgSend<NSInteger>(secret, sel("autocorrectionType")), 1);
  EXPECT_EQ(pane.valueShown("Title value"), "42");
  EXPECT_EQ(pane.valueShown("List"), "Two") << "the value's title, not the value";
  EXPECT_EQ(pane.valueShown("Unlisted"), "") << "a value that is none of the choices";
  EXPECT_EQ(msgSend<NSInteger>(pane.cellOf("List"), sel("accessoryType")), 1);
}

TEST(RowTypesTest, SlidersStoreWithinTheirBoundsAndSegmentedOnesSnapToTheirStops) {
  ns::AutoreleasePool pool;
  DeviceRoot root;
  Pane pane(root, {row("PSSliderCell", "Free", {{"min", 0}, {"max", 1}}),
                   row("PSSliderCell", "Steps",
                       {{"min", 0}, {"max", 10}, {"isSegmented", true}, {"segmentCount", 4}})});
  id free = msgSend(pane.cellOf("Free"), sel("control"));
  for (auto [name, given, stored] : {std::tuple{"Free", 0.8, 0.8},
                                     {"Free", 1.0, 1.0},
                                     {"Free", 0.0, 0.0},
                                     {"Free", 5.0, 1.0},
                                     {"Free", -3.0, 0.0},
                                     {"Steps", 3.0, 2.5},
                                     {"Steps", 3.9, 5.0},
                                     {"Steps", 10.0, 10.0}}) {
    preferences::userChangesValue(pane.controller, pane.rowOf(name), ns::doubleNumber(given));
    EXPECT_DOUBLE_EQ(root.stored()[name].get<double>(), stored) << name << " set to " << given;
  }
  EXPECT_EQ(msgSend<float>(free, sel("value")), 0.0f) << "the slider stands at the value stored";
}

TEST(RowTypesTest, AListPageChecksTheValueStoresTheChoiceMovesTheCheckAndPopsBack) {
  ns::AutoreleasePool pool;
  DeviceRoot root;
  Pane pane(root, json::array({row("PSLinkListCell", "Sound",
                                   {{"validValues", {"a.caf", "b.caf", "c.caf"}},
                                    {"validTitles", {"Alpha", "Beta", "Gamma"}},
                                    {"default", "b.caf"}})}));
  id parent = pane.controller;
  size_t first = journal::entries().size();
  ASSERT_TRUE(preferences::userTapsRow(parent, pane.rowOf("Sound")));
  id page = preferences::topController(parent);
  ASSERT_NE(page, parent);
  EXPECT_EQ(ns::className(page), "PSListItemsController");
  EXPECT_EQ(preferences::pageTitle(page), "Sound");
  EXPECT_EQ(shownRows(page), (std::vector<std::string>{"?", "Alpha", "Beta", "Gamma"}));
  auto checks = [&] {
    std::string marks;
    for (const char* title : {"Alpha", "Beta", "Gamma"})
      marks += msgSend<BOOL>(pane.cellOf(title), sel("isChecked")) ? "x" : "-";
    return marks;
  };
  EXPECT_EQ(checks(), "-x-");
  ASSERT_TRUE(preferences::userTapsRow(page, pane.rowOf("Gamma")));
  EXPECT_EQ(root.stored()["Sound"], "c.caf");
  EXPECT_EQ(checks(), "--x") << "the check moves to the choice";
  std::vector<std::string> lines = journalSince(first);
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      R"({"kind":"store","row":"Sound","key":"Sound","value":"c.caf"})"),
            lines.end());
  ASSERT_TRUE(preferences::userGoesBack(parent));
  EXPECT_EQ(preferences::topController(parent), parent);
  EXPECT_EQ(pane.valueShown("Sound"), "Gamma") << "the list row shows the new value";
  EXPECT_FALSE(preferences::userGoesBack(parent)) << "nothing left to pop";
}

// A pane controller whose list row reads its choices from the controller.
id soundValues(id, SEL, id) {
  return ns::array({ns::string("x.caf"), ns::string("y.caf")});
}
id soundTitles(id, SEL, id) {
  return ns::array({ns::string("Ex"), ns::string("Why")});
}
Class dataSourceController() {
  static Class cls = [] {
    return ClassBuilder("TestDataSourceController", objc_getClass("PSListController"))
        .method("soundValues:", soundValues)
        .method("soundTitles:", soundTitles)
        .register_();
  }();
  return cls;
}

TEST(RowTypesTest, DataSourcesAreAskedOfTheTargetAndOneItDoesNotAnswerRaises) {
  ns::AutoreleasePool pool;
  DeviceRoot root;
  root.store({{"Sound", "y.caf"}});
  Pane pane(root,
            {row("PSLinkListCell", "Sound",
                 {{"valuesDataSource", "soundValues:"}, {"titlesDataSource", "soundTitles:"}}),
             row("PSLinkListCell", "Broken", {{"valuesDataSource", "noSuchValues:"}})},
            dataSourceController());
  EXPECT_EQ(pane.valueShown("Sound"), "Why");
  std::vector<preferences::RowChoice> choices = preferences::rowChoices(pane.rowOf("Sound"));
  ASSERT_EQ(choices.size(), 2u);
  EXPECT_EQ(choices[0].title, "Ex");
  try {
    preferences::rowChoices(pane.rowOf("Broken"));
    ADD_FAILURE() << "no exception";
  } catch (const ns::Exception& raised) {
    EXPECT_EQ(raised.name(), "NSInvalidArgumentException");
    EXPECT_NE(raised.reason().find("noSuchValues:"), std::string::npos) << raised.reason();
  }
}

TEST(RowTypesTest, LinkRowsPushTheirDetailAndRefuseOneThatIsNoController) {
  ns::AutoreleasePool pool;
  DeviceRoot root;
  Pane pane(root, {row("PSLinkCell", "Empty", {{"detail", "PSListController"}}),
                   row("PSLinkCell", "Nothing", {{"detail", "NoSuchController"}}),
                   row("PSLinkCell", "View", {{"detail", "UIView"}}), row("PSLinkCell", "Plain")});
  id parent = pane.controller;
  ASSERT_TRUE(preferences::userTapsRow(parent, pane.rowOf("Empty")));
  id page = preferences::topController(parent);
  EXPECT_EQ(ns::className(page), "PSListController");
  EXPECT_TRUE(shownRows(page).empty()) << "a controller with no rows shows an empty page";
  EXPECT_EQ(preferences::navigationStack(parent).size(), 2u);
  ASSERT_TRUE(preferences::userGoesBack(parent));
  for (const char* name : {"Nothing", "View"}) {
    std::string problem;
    ASSERT_TRUE(preferences::userTapsRow(parent, pane.rowOf(name), &problem));
    EXPECT_NE(problem, "") << name;
    EXPECT_EQ(preferences::topController(parent), parent) << name << " pushed something";
  }
  std::string problem;
  ASSERT_TRUE(preferences::userTapsRow(parent, pane.rowOf("Plain"), &problem));
  EXPECT_EQ(problem, "");
  EXPECT_EQ(preferences::topController(parent), parent);
}

TEST(RowTypesTest, AProductCellServesOnlyItsOwnRowWhileTheRowLives) {
  ns::AutoreleasePool pool;
  DeviceRoot root;
  Pane pane(root, {row("PSSwitchCell", "Owner"),
                   row("PSButtonCell", "First", {{"cellClass", "PSTableCell"}}),
                   row("PSButtonCell", "Second", {{"cellClass", "PSTableCell"}})});
  id controller = pane.controller;
  id firstRow = pane.rowOf("First");
  id secondRow = pane.rowOf("Second");
  id first = pane.cellOf("First");
  id second = pane.cellOf("Second");
  ASSERT_NE(first, nil);
  EXPECT_NE(first, second);
  // Hidden and shown again (as a nested run is), each row gets back its own cell.
  id both = ns::array({firstRow, secondRow});
  msgSend<void>(controller, sel("removeContiguousSpecifiers:animated:"), both, BOOL{YES});
  preferences::layOutCells(controller);
  EXPECT_EQ(msgSend(first, sel("superview")), nil);
  msgSend<void>(controller, sel("insertContiguousSpecifiers:afterSpecifier:animated:"),
                ns::array({secondRow, firstRow}), pane.rowOf("Owner"), BOOL{YES});
  preferences::layOutCells(controller);
  EXPECT_EQ(shownRows(controller), (std::vector<std::string>{"Owner", "Second", "First"}));
  EXPECT_EQ(preferences::cellForRow(controller, firstRow), first);
  EXPECT_EQ(preferences::cellForRow(controller, secondRow), second);
  EXPECT_EQ(msgSend(first, sel("specifier")), firstRow);
  EXPECT_EQ(msgSend(second, sel("specifier")), secondRow);
}

}  // namespace
