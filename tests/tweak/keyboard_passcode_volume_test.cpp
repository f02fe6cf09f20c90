// Keyboard, passcode and volume sounds: eight hooks of one shape. The host's method runs first
// with the arguments as received, then the event's sound plays while its switch is on.
#include <Foundation/Foundation.h>
#include <gtest/gtest.h>

#include <sstream>

#include "build_paths.h"
#include "fresh_process.h"
#include "tweak_session.h"

namespace {

using tweak_test::run;
using tweak_test::TestDevice;
using Sounds = std::vector<std::string>;

struct Member {
  const char* call;     // the scenario line
  const char* setting;  // the switch it tests
  const char* event;    // the sound it plays
};

const Member kFamily[] = {
    {"call UIKeyboardLayoutStar touchDownWithKey:atPoint:executionContext: 10 20",
     "kCustomKeyboard", "Keyboard"},
    {"call UIKeyboardImpl deleteBackward", "kCustomKeyboard", "Keyboard"},
    {"call SBUIPasscodeLockNumberPad _numberPadTouchDown:forEvent:", "kCustomPasscode", "Passcode"},
    {"call SBUIPasscodeLockNumberPad _numberPadTouchCancelled:forEvent:", "kCustomPasscode",
     "Passcode"},
    {"call SBUIPasscodeLockNumberPad _backspaceButtonHit", "kCustomPasscode", "Passcode"},
    {"call SBUIPasscodeLockNumberPad _cancelButtonHit", "kCustomPasscode", "Passcode"},
    {"call SBVolumeControl increaseVolume", "kCustomVolume", "Volume"},
    {"call SBVolumeControl decreaseVolume", "kCustomVolume", "Volume"},
};

std::string settings(const char* setting, bool on) {
  return std::string("pref kEnabledPK true\npref kKeyboardSound \"keyboard.wav\"\n") +
         "pref kPasscodeSound \"passcode.wav\"\npref kVolumeSound \"volume.wav\"\npref " + setting +
         (on ? " true\n" : " false\n");
}

TEST(KeyboardPasscodeVolume, EachMemberRunsTheHostFirstThenPlaysOnEveryCallWhileItsSwitchIsOn) {
  TestDevice device;
  for (const Member& m : kFamily) {
    SCOPED_TRACE(m.call);
    std::string calls = std::string(m.call) + "\n" + m.call + "\n";
    auto on = run(settings(m.setting, true) + "launch\nnote ready\n" + calls, device).after("note");
    EXPECT_EQ(on.heard(), (Sounds{m.event, m.event}));
    // Each member reaches its own row's implementation, not another row's.
    std::string line = std::string(m.call).substr(5);  // after "call "
    size_t space = line.find(' ');
    std::string own = "-[" + line.substr(0, line.find(' ', space + 1)) + "]";
    EXPECT_EQ(on.stock(), (std::vector<std::string>{own, own}));
    EXPECT_EQ(on.kinds(),
              (std::vector<std::string>{"call", "stock", "sound-create", "sound-play", "call",
                                        "stock", "sound-dispose", "sound-create", "sound-play"}));
    auto off =
        run(settings(m.setting, false) + "launch\nnote ready\n" + calls, device).after("note");
    EXPECT_EQ(off.kinds(), (std::vector<std::string>{"call", "stock", "call", "stock"}));
  }
}

TEST(KeyboardPasscodeVolume, KeyboardAndPasscodeSwitchesAreIndependent) {
  TestDevice device;
  auto r = run(settings("kCustomKeyboard", true) +
                   "pref kCustomPasscode false\nlaunch\nnote ready\n"
                   "type 12\npasscode 12\ndelete 1\n",
               device);
  EXPECT_EQ(r.heard(), (Sounds{"Keyboard", "Keyboard", "Keyboard"}));
}

// The handler holds the object arguments from before the host's method runs until after the
// sound: recorded here by teaching the argument classes to report retain and release.
void recordRetain(id self, SEL) {
  journal::record("retain", {{"object", ns::journalName(self)}});
  ns::retain(self);
}
void recordRelease(id self, SEL) {
  journal::record("release", {{"object", ns::journalName(self)}});
  ns::release(self);
}

TEST(KeyboardPasscodeVolume, ObjectArgumentsAreHeldForTheWholeCall) {
  TestDevice device;
  {
    std::istringstream lines(settings("kCustomKeyboard", true) + "pref kCustomPasscode true\n");
    std::string error;
    auto parsed = springboard::parseScenario(lines, "settings", error);
    ASSERT_TRUE(parsed);
    springboard::runSession(*parsed, {device.root(), PLINKA_TEST_TWEAK_DIR});
  }
  auto child = testing_support::inFreshProcess([&] {
    springboard::DeviceState state;
    springboard::HomeScreen home({device.root(), PLINKA_TEST_TWEAK_DIR}, state);
    std::string error;
    if (!home.launch(error)) return;
    for (const char* name :
         {"UIKBTree", "UIKeyboardTaskExecutionContext", "SBPasscodeNumberPadButton", "UIEvent"}) {
      class_addMethod(objc_getClass(name), sel("retain"), reinterpret_cast<IMP>(recordRetain),
                      "@@:");
      class_addMethod(objc_getClass(name), sel("release"), reinterpret_cast<IMP>(recordRelease),
                      "v@:");
    }
    journal::clear();  // from here on, only the two calls
    springboard::CallArgument point;
    point.kind = springboard::CallArgument::Kind::Point;
    home.call("UIKeyboardLayoutStar",
              *springboard::findHostMethod("UIKeyboardLayoutStar",
                                           "touchDownWithKey:atPoint:executionContext:"),
              {point});
    home.call("SBUIPasscodeLockNumberPad",
              *springboard::findHostMethod("SBUIPasscodeLockNumberPad",
                                           "_numberPadTouchCancelled:forEvent:"),
              {});
  });
  ASSERT_EQ(child.failure, "");
  std::vector<std::string> seen;
  for (const auto& e : child.journal) {
    std::string kind = e["kind"];
    if (kind == "sound-dispose") continue;
    seen.push_back(e.contains("object") ? kind + " " + e["object"].get<std::string>() : kind);
  }
  std::vector<std::string> expected = {"call",
                                       "retain UIKBTree#1",
                                       "retain UIKeyboardTaskExecutionContext#1",
                                       "stock",
                                       "sound-create",
                                       "sound-play",
                                       "release UIKBTree#1",
                                       "release UIKeyboardTaskExecutionContext#1",
                                       "call",
                                       "retain SBPasscodeNumberPadButton#1",
                                       "retain UIEvent#1",
                                       "stock",
                                       "sound-create",
                                       "sound-play",
                                       "release SBPasscodeNumberPadButton#1",
                                       "release UIEvent#1"};
  EXPECT_EQ(seen, expected);
}

}  // namespace
