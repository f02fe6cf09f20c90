// Charging and respring sounds: the chime handler's and the launch handler's decision tables,
// the init handler's subscription, and checkDevice.
#include <gtest/gtest.h>

#include "tweak_session.h"

namespace {

using tweak_test::run;
using tweak_test::TestDevice;
using tweak_test::yesNo;
using Sounds = std::vector<std::string>;

std::string settings(bool charge, bool respring, int mode) {
  return std::string("pref kEnabledPK true\npref kChargeSound \"charge.wav\"\n") +
         "pref kRespringSound \"respring.wav\"\npref kCustomCharge " + yesNo(charge) +
         "\npref kCustomRespring " + yesNo(respring) + "\npref kRespringMode " +
         std::to_string(mode) + "\n";
}

struct ChimeCase {
  bool charge, onAC, respring;
  int mode;
  bool playedBefore;  // a custom charge sound already came from a chime request
  bool stockCalled;
  Sounds heard;
  bool onACAsked;
};

// One row: the settings, the flag primed if the row needs it, then one chime request; what
// follows that request is the row's outcome.
tweak_test::Run chime(const TestDevice& device, const ChimeCase& c) {
  std::string scenario = settings(c.charge, c.respring, c.mode) + "set ac on\nlaunch\n";
  if (c.playedBefore) scenario += "call SBUIController playChargingChimeIfAppropriate\n";
  scenario += std::string("set ac ") + (c.onAC ? "on" : "off") + "\n";
  scenario += "call SBUIController playChargingChimeIfAppropriate\n";
  return run(scenario, device).after("call");
}

TEST(ChimeHandler, FollowsItsDecisionTableRowByRow) {
  const std::vector<ChimeCase> table = {
      // customCharge NO: isOnAC is not asked.
      {false, true, false, 0, false, true, {"1106"}, false},
      {false, false, false, 1, false, true, {"1106"}, false},
      {false, true, true, 1, false, true, {"1106"}, false},
      {false, true, true, 0, false, false, {}, false},
      {false, true, true, 2, false, false, {}, false},
      // customCharge YES, not on external power: the stock branch.
      {true, false, false, 0, false, true, {"1106"}, true},
      {true, false, true, 1, false, true, {"1106"}, true},
      {true, false, true, 0, false, false, {}, true},
      {true, false, true, -1, false, false, {}, true},
      // customCharge YES, on external power: the custom branch.
      {true, true, true, 0, false, false, {}, true},
      {true, true, true, 7, false, false, {}, true},
      {true, true, false, 0, true, false, {}, true},
      {true, true, true, 1, true, false, {}, true},
      {true, true, false, 3, false, false, {"Charge", "1521"}, true},
      {true, true, true, 1, false, false, {"Charge", "1521"}, true},
  };
  TestDevice device;
  for (const ChimeCase& c : table) {
    SCOPED_TRACE(::testing::Message() << "customCharge " << c.charge << ", isOnAC " << c.onAC
                                      << ", customRespring " << c.respring << ", respringMode "
                                      << c.mode << ", played before " << c.playedBefore);
    auto r = chime(device, c);
    bool stockRan = false;
    bool asked = false;
    for (const std::string& ran : r.stock()) {
      stockRan |= ran == "-[SBUIController playChargingChimeIfAppropriate]";
      asked |= ran == "-[SBUIController isOnAC]";
    }
    EXPECT_EQ(stockRan, c.stockCalled);
    EXPECT_EQ(r.heard(), c.heard);
    EXPECT_EQ(asked, c.onACAsked);
  }
}

TEST(ChimeHandler, PlaysTheCustomChargeSoundOncePerProcess) {
  TestDevice device;
  auto r = run(settings(true, false, 0) +
                   "launch\nplug\nunplug\nplug\nlaunch\nset ac on\n"
                   "call SBUIController playChargingChimeIfAppropriate\n",
               device);
  // First process: the first plug plays from the chime request, the unplug from checkDevice,
  // the second plug's request is silent. A new process starts with the flag cleared.
  EXPECT_EQ(r.heard(), (Sounds{"Charge", "1521", "Charge", "1521", "Charge", "1521"}));
  std::vector<std::string> users;
  for (const auto& e : r.ofKind("user")) users.push_back(e["action"]);
  EXPECT_EQ(users, (std::vector<std::string>{"plug", "unplug", "plug"}));
  EXPECT_EQ(r.after("call").heard(), (Sounds{"Charge", "1521"}));
}

TEST(ChimeHandler, AMissingChargeFileStillSetsTheFlagAndPlays1521) {
  TestDevice device;
  auto r = run(settings(true, false, 0) +
                   "pref kChargeSound \"gone.caf\"\nset ac on\nlaunch\n"
                   "call SBUIController playChargingChimeIfAppropriate\n"
                   "call SBUIController playChargingChimeIfAppropriate\n",
               device);
  EXPECT_EQ(r.heard(), Sounds{"1521"});
  EXPECT_EQ(r.after("call").stock(), std::vector<std::string>{"-[SBUIController isOnAC]"});
}

struct LaunchCase {
  bool respring;
  int mode;
  bool charge;  // monitoring the battery, which only the init handler switches on
  long battery;
  Sounds heard;
  bool batteryAsked;
};

TEST(LaunchHandler, FollowsItsDecisionTableRowByRow) {
  const std::vector<LaunchCase> table = {
      {false, 0, true, 1, {}, false},
      {false, 1, true, 1, {}, false},
      {true, 1, true, 1, {"Respring"}, true},
      {true, 1, true, 2, {}, true},
      {true, 1, true, 3, {}, true},
      {true, 0, true, 2, {"Respring"}, false},
      {true, 0, false, 1, {"Respring"}, false},
      {true, 2, true, 1, {}, false},
      {true, -1, true, 1, {}, false},
      // Without battery monitoring the state reads unknown (0), so mode 1 stays silent.
      {true, 1, false, 1, {}, true},
      // The state is compared whole: 2^32 + 1 is not unplugged, whatever its low bits say.
      {true, 1, true, 4294967297, {}, true},
  };
  TestDevice device;
  for (const LaunchCase& c : table) {
    SCOPED_TRACE(::testing::Message() << "customRespring " << c.respring << ", respringMode "
                                      << c.mode << ", battery " << c.battery);
    // States outside 0 to 3 come from the scenario's fault injection.
    bool state = c.battery >= 0 && c.battery <= 3;
    auto r = run(settings(c.charge, c.respring, c.mode) + (state ? "set" : "fault") + " battery " +
                     std::to_string(c.battery) + "\nlaunch\n",
                 device);
    EXPECT_EQ(r.heard(), c.heard);
    EXPECT_EQ(!r.ofKind("query").empty(), c.batteryAsked);
    // The host's own implementation runs first, always.
    auto kinds = r.after("call").kinds();
    ASSERT_FALSE(kinds.empty());
    EXPECT_EQ(kinds[0], "stock");
  }
}

TEST(InitHandler, SubscribesBeforeTheHostsInitOnlyWithACustomChargeSound) {
  TestDevice device;
  auto off = run(settings(false, false, 0) + "launch\n", device);
  EXPECT_TRUE(off.ofKind("battery-monitoring").empty());
  EXPECT_TRUE(off.ofKind("observe").empty());

  auto on = run(settings(true, false, 0) + "launch\n", device);
  std::vector<std::string> order;
  for (const auto& e : on.journal) {
    std::string kind = e["kind"];
    if (kind == "battery-monitoring" || kind == "observe" ||
        (kind == "stock" && e["selector"] == "init")) {
      order.push_back(kind);
    }
  }
  EXPECT_EQ(order, (std::vector<std::string>{"battery-monitoring", "observe", "stock"}));
  auto observe = on.ofKind("observe");
  EXPECT_EQ(observe[0]["observer"], "SBUIController");
  EXPECT_EQ(observe[0]["selector"], "checkDevice");
  EXPECT_EQ(observe[0]["name"], "UIDeviceBatteryStateDidChangeNotification");
}

TEST(InitHandler, AnswersTheObjectTheHostsInitAnswers) {
  TestDevice device;
  // The host's init answers another object than its receiver, as a class cluster's may: that
  // object is the controller the host goes on to use.
  auto r = run(settings(false, false, 0) + "fault init another\nlaunch\nplug\n", device);
  auto stock = r.ofKind("stock");
  ASSERT_GE(stock.size(), 2u);
  ASSERT_EQ(stock[0]["selector"], "init");
  EXPECT_NE(stock[0]["result"], stock[0]["receiver"]);
  EXPECT_EQ(stock.back()["selector"], "playChargingChimeIfAppropriate");
  EXPECT_EQ(stock.back()["receiver"], stock[0]["result"]);
}

TEST(InitHandler, EveryInitSubscribesAgainAndEverySubscriptionHearsEveryChange) {
  TestDevice device;
  auto r =
      run(settings(true, false, 0) + "launch\ncall SBUIController init\npost battery\n", device);
  EXPECT_EQ(r.ofKind("observe").size(), 2u);
  EXPECT_EQ(r.after("post").heard(), (Sounds{"Charge", "1521", "Charge", "1521"}));
}

TEST(CheckDevice, PlaysOnEveryChangeOffPowerAndNeverOnPower) {
  TestDevice device;
  auto r = run(settings(true, false, 0) +
                   "launch\npost battery\npost battery\nset ac on\npost battery\n"
                   "call SBUIController playChargingChimeIfAppropriate\n",
               device);
  auto posts = r.ofKind("post");
  ASSERT_EQ(posts.size(), 3u);
  // Two plays off power, none on power, and the chime request after them still plays: checkDevice
  // leaves the chime handler's flag alone.
  EXPECT_EQ(r.heard(), (Sounds{"Charge", "1521", "Charge", "1521", "Charge", "1521"}));
  EXPECT_EQ(r.after("call").heard(), (Sounds{"Charge", "1521"}));
}

TEST(CheckDevice, IsNeverSentWithoutACustomChargeSound) {
  TestDevice device;
  auto r = run(settings(false, false, 0) + "launch\npost battery\nplug\nunplug\n", device);
  EXPECT_EQ(r.heard(), Sounds{"1106"});
  for (const std::string& ran : r.stock()) EXPECT_NE(ran, "-[SBUIController isOnAC]");
}

}  // namespace
