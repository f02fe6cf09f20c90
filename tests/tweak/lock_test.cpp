// Lock and unlock sounds: the lock handler's table, the two unlock handlers, and the one-shot
// pairing between them.
#include <gtest/gtest.h>

#include "tweak_session.h"

namespace {

using tweak_test::run;
using tweak_test::TestDevice;
using tweak_test::yesNo;
using Sounds = std::vector<std::string>;

std::string settings(bool lock, bool unlock, bool autoUnlock) {
  return std::string("pref kEnabledPK true\npref kLockSound \"lock.wav\"\n") +
         "pref kUnlockSound \"unlock.wav\"\npref kCustomLock " + yesNo(lock) +
         "\npref kCustomUnlock " + yesNo(unlock) + "\npref kAutoUnlockX " + yesNo(autoUnlock) +
         "\n";
}

constexpr const char* kLockRequest = "call SBSleepWakeHardwareButtonInteraction _playLockSound\n";
constexpr const char* kCoverSheet =
    "call SBCoverSheetPrimarySlidingViewController viewWillDisappear: yes\n";
std::string authenticated(bool yes) {
  return std::string("call SBDashBoardLockScreenEnvironment setAuthenticated: ") +
         (yes ? "yes" : "no") + "\n";
}

bool stockLockSoundRan(const tweak_test::Run& r) {
  for (const std::string& ran : r.stock()) {
    if (ran == "-[SBSleepWakeHardwareButtonInteraction _playLockSound]") return true;
  }
  return false;
}

TEST(LockHandler, FollowsItsDecisionTable) {
  TestDevice device;
  struct Case {
    bool customLock, locked, stock;
    Sounds heard;
  };
  for (const Case& c : std::vector<Case>{{false, false, true, {"1100"}},
                                         {false, true, true, {"1100"}},
                                         {true, true, true, {"1100"}},
                                         {true, false, false, {"Lock"}}}) {
    SCOPED_TRACE(::testing::Message() << "customLock " << c.customLock << ", locked " << c.locked);
    auto r = run(settings(c.customLock, true, false) + "launch\nset locked " +
                     (c.locked ? "on" : "off") + "\n" + kLockRequest,
                 device)
                 .after("call");
    EXPECT_EQ(stockLockSoundRan(r), c.stock);
    EXPECT_EQ(r.heard(), c.heard);
    // The manager is asked only with a custom lock sound.
    bool asked = false;
    for (const std::string& ran : r.stock()) asked |= ran == "-[SBLockScreenManager isUILocked]";
    EXPECT_EQ(asked, c.customLock);
  }
}

TEST(LockHandler, AMissingManagerCountsAsUnlockedAndIsLookedUpAgainUntilFound) {
  TestDevice device;
  auto r = run(settings(true, true, false) +
                   "without SBLockScreenManager\nlaunch\nset locked on\n" + kLockRequest +
                   kLockRequest + "register SBLockScreenManager\n" + kLockRequest + kLockRequest,
               device);
  // Two lookups that find nothing (one per lock request), then the class is registered: the
  // third request finds it and it is locked, and the fourth uses the class already found.
  EXPECT_EQ(r.ofKind("class-missing").size(), 2u);
  EXPECT_EQ(r.heard(), (Sounds{"Lock", "Lock", "1100", "1100"}));
}

TEST(LockHandler, LooksNothingUpWithoutACustomLockSound) {
  TestDevice device;
  auto r =
      run(settings(false, true, false) + "without SBLockScreenManager\nlaunch\n" + kLockRequest,
          device);
  EXPECT_TRUE(r.ofKind("class-missing").empty());
  EXPECT_EQ(r.heard(), Sounds{"1100"});
}

TEST(AuthenticationHandler, FollowsItsDecisionTable) {
  TestDevice device;
  struct Case {
    bool customUnlock, argument, autoUnlock, spent;
    Sounds heard;
  };
  for (const Case& c : std::vector<Case>{{false, true, true, false, {}},
                                         {true, false, true, false, {}},
                                         {true, true, false, false, {}},
                                         {true, true, true, true, {}},
                                         {true, true, true, false, {"Unlock"}}}) {
    SCOPED_TRACE(::testing::Message()
                 << "customUnlock " << c.customUnlock << ", argument " << c.argument
                 << ", autoUnlockX " << c.autoUnlock << ", spent " << c.spent);
    // Spend the unlock sound first with the cover sheet where the row needs it.
    std::string scenario = settings(false, c.customUnlock, c.autoUnlock) + "launch\n";
    if (c.spent) scenario += kCoverSheet;
    scenario += authenticated(c.argument);
    auto r = run(scenario, device).after("call");
    EXPECT_EQ(r.heard(), c.heard);
    // The host's own implementation runs first, with the argument as given.
    EXPECT_EQ(r.kinds().front(), "stock");
    EXPECT_EQ(r.stock(),
              std::vector<std::string>{"-[SBDashBoardLockScreenEnvironment setAuthenticated:]"});
    EXPECT_EQ(r.ofKind("stock")[0]["args"], nlohmann::ordered_json::array({c.argument}));
    // What the flag is afterwards shows in the next cover-sheet call: it plays only while armed.
    auto next = run(scenario + kCoverSheet, device).after("call");
    bool armedAfter = c.customUnlock && !c.spent && c.heard.empty();
    EXPECT_EQ(next.heard(), armedAfter ? Sounds{"Unlock"} : Sounds{});
  }
}

TEST(CoverSheetHandler, PlaysOnlyWhileArmedAndOnlyWithACustomUnlockSound) {
  TestDevice device;
  auto off = run(settings(true, false, false) + "launch\n" + kLockRequest + kCoverSheet, device);
  EXPECT_EQ(off.heard(), Sounds{"Lock"});
  auto on = run(settings(false, true, false) + "launch\n" + kCoverSheet + kLockRequest +
                    kCoverSheet + kCoverSheet,
                device);
  // Armed at the start of the process; nothing re-arms it without a custom lock sound, not even
  // the stock lock sound.
  EXPECT_EQ(on.heard(), (Sounds{"Unlock", "1100"}));
  // The host's own implementation runs first.
  auto first = run(settings(false, true, false) + "launch\n" + kCoverSheet, device).after("call");
  EXPECT_EQ(first.kinds().front(), "stock");
  EXPECT_EQ(first.heard(), Sounds{"Unlock"});
}

TEST(UnlockPairing, EachCustomLockSoundArmsExactlyOneUnlockSound) {
  TestDevice device;
  auto r = run(settings(true, true, false) + "launch\n" + kLockRequest + kCoverSheet + kCoverSheet +
                   kLockRequest + kCoverSheet + kCoverSheet,
               device);
  EXPECT_EQ(r.heard(), (Sounds{"Lock", "Unlock", "Lock", "Unlock"}));
}

TEST(UnlockPairing, WithAutoUnlockTheAuthenticationPlaysAndTheCoverSheetStaysSilent) {
  TestDevice device;
  auto r = run(settings(true, true, true) + "launch\nlock\nunlock\nlock\n" + authenticated(false) +
                   kCoverSheet,
               device);
  // The first unlock plays from the authentication; with NO as the argument nothing plays and
  // the cover sheet takes the armed sound.
  EXPECT_EQ(r.heard(), (Sounds{"Lock", "Unlock", "Lock", "Unlock"}));
  auto unlock = r.ofKind("user");
  ASSERT_EQ(unlock.size(), 3u);
}

TEST(UnlockPairing, ALockWhileLockedNeitherPlaysNorReArms) {
  TestDevice device;
  auto r = run(settings(true, true, false) + "launch\nlock\nunlock\nset locked on\n" +
                   kLockRequest + kCoverSheet,
               device);
  EXPECT_EQ(r.heard(), (Sounds{"Lock", "Unlock", "1100"}));
}

}  // namespace
