// Hook installation: fourteen rows in order, checkDevice after the second, nothing when
// disabled, and each replaced implementation reached with what the handler received.
#include <gtest/gtest.h>

#include "tweak_session.h"

namespace {

using tweak_test::everythingOn;
using tweak_test::run;
using tweak_test::TestDevice;

const std::vector<std::string> kHookTable = {
    "SBUIController init",
    "SBUIController playChargingChimeIfAppropriate",
    "UIKeyboardLayoutStar touchDownWithKey:atPoint:executionContext:",
    "UIKeyboardImpl deleteBackward",
    "SBSleepWakeHardwareButtonInteraction _playLockSound",
    "SBUIPasscodeLockNumberPad _numberPadTouchDown:forEvent:",
    "SBUIPasscodeLockNumberPad _numberPadTouchCancelled:forEvent:",
    "SBUIPasscodeLockNumberPad _backspaceButtonHit",
    "SBUIPasscodeLockNumberPad _cancelButtonHit",
    "SpringBoard applicationDidFinishLaunching:",
    "SBCoverSheetPrimarySlidingViewController viewWillDisappear:",
    "SBDashBoardLockScreenEnvironment setAuthenticated:",
    "SBVolumeControl increaseVolume",
    "SBVolumeControl decreaseVolume",
};

// The installation as the journal saw it: hooks, failed hooks and added methods, in order.
std::vector<std::string> installation(const tweak_test::Run& r) {
  std::vector<std::string> steps;
  for (const auto& e : r.journal) {
    std::string kind = e["kind"];
    if (kind != "hook" && kind != "hook-failed" && kind != "add-method") continue;
    std::string cls = e["class"].is_null() ? "nil" : e["class"].get<std::string>();
    std::string step = cls + " " + e["selector"].get<std::string>();
    if (kind == "add-method") step = "add " + step + " " + e["types"].get<std::string>();
    if (kind == "hook-failed") step = "failed " + step;
    steps.push_back(step);
  }
  return steps;
}

TEST(HookInstallation, FourteenRowsInTableOrderWithCheckDeviceAfterTheSecond) {
  TestDevice device;
  std::vector<std::string> expected = kHookTable;
  expected.insert(expected.begin() + 2, "add SBUIController checkDevice v@:");
  // checkDevice is added whatever customCharge says.
  for (const char* charge : {"true", "false"}) {
    auto r = run(std::string("pref kEnabledPK true\npref kCustomCharge ") + charge +
                     "\nlaunch\nnote ready\n",
                 device);
    EXPECT_EQ(installation(r), expected) << "kCustomCharge " << charge;
  }
}

TEST(HookInstallation, DisabledInstallsAndLooksUpNothing) {
  TestDevice device;
  auto r = run(everythingOn() +
                   "pref kEnabledPK false\nwithout SBVolumeControl\nwithout "
                   "SpringBoard\nlaunch\nnote ready\n",
               device);
  EXPECT_TRUE(installation(r).empty());
  EXPECT_TRUE(r.ofKind("class-missing").empty()) << "a class was looked up";
}

TEST(HookInstallation, AMissingClassLeavesOnlyItsOwnRowsWithoutEffect) {
  TestDevice device;
  auto r = run(everythingOn() +
                   "without SBUIPasscodeLockNumberPad\nwithout SBUIController\n"
                   "launch\npasscode 1\ntype a\n",
               device);
  std::vector<std::string> expected;
  for (const std::string& row : kHookTable) {
    bool missing =
        row.starts_with("SBUIPasscodeLockNumberPad") || row.starts_with("SBUIController");
    expected.push_back(missing ? "failed nil " + row.substr(row.find(' ') + 1) : row);
  }
  // The missing class is looked up once, before its first row.
  auto missing = r.ofKind("class-missing");
  ASSERT_EQ(missing.size(), 2u);
  EXPECT_EQ(missing[0]["class"], "SBUIController");
  EXPECT_EQ(missing[1]["class"], "SBUIPasscodeLockNumberPad");
  EXPECT_EQ(installation(r), expected);
  // The respring sound at launch and the key press; the passcode pad's rows took no effect.
  EXPECT_EQ(r.heard(), (std::vector<std::string>{"Respring", "Keyboard"}));
}

TEST(HookInstallation, AnInheritedMethodIsHookedOnTheSubclassAlone) {
  TestDevice device;
  // viewWillDisappear: is UIViewController's; the cover sheet controller only inherits it.
  auto r = run(everythingOn() +
                   "launch\nnote ready\ncall SBCoverSheetPrimarySlidingViewController "
                   "viewWillDisappear: no\n"
                   "call UIViewController viewWillDisappear: yes\n",
               device);
  // The subclass's call reaches the handler (the unlock sound) and then UIViewController's own
  // implementation; the superclass's own call runs only its own implementation.
  auto calls = r.after("note");
  std::vector<std::string> expected = {"-[UIViewController viewWillDisappear:]",
                                       "-[UIViewController viewWillDisappear:]"};
  EXPECT_EQ(calls.stock(), expected);
  EXPECT_EQ(r.heard(), (std::vector<std::string>{"Respring", "Unlock"}));
  auto stock = r.ofKind("stock");
  EXPECT_EQ(stock[stock.size() - 2]["args"], nlohmann::ordered_json::parse("[false]"));
  EXPECT_EQ(stock.back()["args"], nlohmann::ordered_json::parse("[true]"));
}

// Every hooked row, called by the host: the stock implementation that runs receives the same
// receiver, selector and arguments that the host sent.
TEST(HookInstallation, EachRowPassesReceiverSelectorAndArgumentsThrough) {
  TestDevice device;
  const std::vector<std::string> calls = {
      "call SBUIController playChargingChimeIfAppropriate",
      "call UIKeyboardLayoutStar touchDownWithKey:atPoint:executionContext: 0.1 -1e-300",
      "call UIKeyboardImpl deleteBackward",
      "call SBSleepWakeHardwareButtonInteraction _playLockSound",
      "call SBUIPasscodeLockNumberPad _numberPadTouchDown:forEvent:",
      "call SBUIPasscodeLockNumberPad _numberPadTouchCancelled:forEvent:",
      "call SBUIPasscodeLockNumberPad _backspaceButtonHit",
      "call SBUIPasscodeLockNumberPad _cancelButtonHit",
      "call SpringBoard applicationDidFinishLaunching:",
      "call SBCoverSheetPrimarySlidingViewController viewWillDisappear: yes",
      "call SBCoverSheetPrimarySlidingViewController viewWillDisappear: no",
      "call SBDashBoardLockScreenEnvironment setAuthenticated: yes",
      "call SBDashBoardLockScreenEnvironment setAuthenticated: no",
      "call SBVolumeControl increaseVolume",
      "call SBVolumeControl decreaseVolume",
      "call SBUIController init",
  };
  // Respring mode 1 lets the chime request through; a locked interface lets the lock sound.
  std::string scenario =
      everythingOn() +
      "pref kCustomCharge false\npref kRespringMode 1\nset locked on\nlaunch\nnote ready\n";
  for (const std::string& call : calls) scenario += call + "\n";
  auto r = run(scenario, device).after("note");
  // Pair each host call with the next stock entry of the same selector.
  size_t checked = 0;
  for (size_t i = 0; i < r.journal.size(); ++i) {
    const auto& call = r.journal[i];
    if (call["kind"] != "call") continue;
    for (size_t j = i + 1; j < r.journal.size(); ++j) {
      const auto& stock = r.journal[j];
      if (stock["kind"] != "stock" || stock["selector"] != call["selector"]) continue;
      EXPECT_EQ(stock["args"], call["args"]) << call["selector"];
      std::string receiver = stock["receiver"];
      EXPECT_TRUE(receiver.starts_with(call["class"].get<std::string>() + "#"))
          << call["selector"] << " reached " << receiver;
      ++checked;
      break;
    }
  }
  EXPECT_EQ(checked, calls.size());
  // Each handler reached its own row's implementation, not another row's.
  for (const auto& stock : r.ofKind("stock")) EXPECT_FALSE(stock.contains("sent")) << stock.dump();
}

TEST(HookInstallation, TheTouchPointReachesTheHostBitForBit) {
  TestDevice device;
  auto r = run(everythingOn() +
                   "launch\nnote ready\ncall UIKeyboardLayoutStar "
                   "touchDownWithKey:atPoint:executionContext: "
                   "0.30000000000000004 -4.9406564584124654e-324\n",
               device);
  auto stock = r.after("note").ofKind("stock");
  ASSERT_EQ(stock.size(), 1u);
  EXPECT_EQ(stock[0]["args"][1]["x"].get<double>(), 0.30000000000000004);
  EXPECT_EQ(stock[0]["args"][1]["y"].get<double>(), -4.9406564584124654e-324);
}

}  // namespace
