// The event sound player: the path of each event's file, a new sound per play, silence for
// anything that is not a playable file, and 1521 after every charge sound.
#include <gtest/gtest.h>

#include <sstream>

#include "build_paths.h"
#include "fresh_process.h"
#include "tweak_session.h"

namespace {

using tweak_test::everythingOn;
using tweak_test::run;
using tweak_test::TestDevice;

std::vector<std::string> createdPaths(const tweak_test::Run& r) {
  std::vector<std::string> paths;
  for (const auto& e : r.ofKind("sound-create")) paths.push_back(e["path"]);
  return paths;
}

TEST(EventSoundPlayer, EveryEventsPathIsItsFolderFourSlashesAndTheNameWhole) {
  TestDevice device;
  for (const char* event :
       {"Charge", "Keyboard", "Lock", "Passcode", "Respring", "Unlock", "Volume"}) {
    device.writeFile(
        std::string("/var/LIY/PreferenceBundles/Plinka3.bundle/") + event + "/My Sound.final.WAV",
        device.readFile(std::string("/var/LIY/PreferenceBundles/Plinka3.bundle/") +
                        "Volume/volume.wav"));
  }
  std::string names;
  for (const char* key : {"kChargeSound", "kKeyboardSound", "kLockSound", "kPasscodeSound",
                          "kRespringSound", "kUnlockSound", "kVolumeSound"}) {
    names += std::string("pref ") + key + " \"My Sound.final.WAV\"\n";
  }
  auto r = run(everythingOn() + names +
                   "launch\nplug\nunplug\ntype a\nlock\npasscode 1\nunlock\nvolume up\n",
               device);
  const std::string bundle = "/var/LIY/PreferenceBundles/Plinka3.bundle/";
  std::vector<std::string> expected;
  for (const char* event :
       {"Respring", "Charge", "Keyboard", "Lock", "Passcode", "Unlock", "Volume"}) {
    expected.push_back(bundle + event + "////My Sound.final.WAV");
  }
  EXPECT_EQ(createdPaths(r), expected);
  for (const auto& e : r.ofKind("sound-create")) EXPECT_EQ(e["status"], 0) << e["path"];
  EXPECT_EQ(r.heard(), (std::vector<std::string>{"Respring", "Charge", "1521", "Keyboard", "Lock",
                                                 "Passcode", "Unlock", "Volume"}));
  // Each event has a slot of its own: playing one never lets another event's sound go.
  EXPECT_TRUE(r.ofKind("sound-dispose").empty());
}

TEST(EventSoundPlayer, ANullOrEmptyNameMakesAPathThatPlaysNothing) {
  TestDevice device;
  auto r =
      run("pref kEnabledPK true\npref kCustomKeyboard true\npref kCustomVolume true\n"
          "pref kVolumeSound \"\"\nlaunch\nnote ready\ntype a\nvolume up\n",
          device);
  const std::string bundle = "/var/LIY/PreferenceBundles/Plinka3.bundle/";
  EXPECT_EQ(createdPaths(r),
            (std::vector<std::string>{bundle + "Keyboard////(null)", bundle + "Volume////"}));
  for (const auto& e : r.ofKind("sound-create")) {
    EXPECT_EQ(e["status"], -1500);
    EXPECT_EQ(e["id"], 0);
  }
  auto plays = r.ofKind("sound-play");
  ASSERT_EQ(plays.size(), 2u);
  for (const auto& play : plays) {
    EXPECT_EQ(play["id"], 0);
    EXPECT_TRUE(play.value("silent", false));
  }
}

TEST(EventSoundPlayer, ANameStoredAsANumberIsUsedAsItsDescription) {
  TestDevice device;
  device.writeFile("/var/LIY/PreferenceBundles/Plinka3.bundle/Volume/7",
                   device.readFile("/var/LIY/PreferenceBundles/Plinka3.bundle/Volume/volume.wav"));
  auto r = run(everythingOn() + "pref kVolumeSound 7\nlaunch\nnote ready\nvolume up\n", device)
               .after("note");
  auto created = r.ofKind("sound-create");
  ASSERT_EQ(created.size(), 1u);
  EXPECT_EQ(created[0]["path"], "/var/LIY/PreferenceBundles/Plinka3.bundle/Volume////7");
  EXPECT_EQ(r.heard(), std::vector<std::string>{"Volume"});
}

TEST(EventSoundPlayer, AMissingOrNonAudioChargeFileIsSilentButStillFollowedBy1521) {
  TestDevice device;
  device.writeFile("/var/LIY/PreferenceBundles/Plinka3.bundle/Charge/notes.txt",
                   "these are not the sounds you are looking for\n");
  for (const char* name : {"missing.caf", "notes.txt", "None"}) {
    auto r = run(
        everythingOn() + "pref kChargeSound \"" + name + "\"\nlaunch\nnote ready\nplug\nunplug\n",
        device);
    auto unplugged = r.after("user");
    EXPECT_EQ(unplugged.heard(), std::vector<std::string>{"1521"}) << name;
    auto created = unplugged.ofKind("sound-create");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0]["status"], -1500) << name;
  }
}

TEST(EventSoundPlayer, ANameWithDotsIsUsedUnchangedAndStaysOnTheDevice) {
  TestDevice device;
  auto r = run(everythingOn() +
                   "pref kVolumeSound \"../Keyboard/keyboard.wav\"\n"
                   "pref kKeyboardSound \"../../../../../../../../etc/passwd\"\n"
                   "launch\nnote ready\nvolume up\ntype a\n",
               device);
  auto created = r.after("note").ofKind("sound-create");
  ASSERT_EQ(created.size(), 2u);
  EXPECT_EQ(created[0]["path"],
            "/var/LIY/PreferenceBundles/Plinka3.bundle/Volume////../Keyboard/keyboard.wav");
  EXPECT_EQ(created[0]["status"], 0);  // another event's file, inside the bundle
  // Far enough up to leave the device: the device's file system stops at its root, and there is
  // no /etc/passwd on the device root made for this test.
  EXPECT_EQ(created[1]["status"], -1500);
}

TEST(EventSoundPlayer, EachPlayMakesANewSoundAndLetsTheSlotsPreviousOneGo) {
  TestDevice device;
  auto r = run(everythingOn() + "launch\nnote ready\ntype abc\n", device).after("note");
  auto created = r.ofKind("sound-create");
  auto disposed = r.ofKind("sound-dispose");
  ASSERT_EQ(created.size(), 3u);
  ASSERT_EQ(disposed.size(), 2u);
  EXPECT_NE(created[0]["id"], created[1]["id"]);
  EXPECT_NE(created[1]["id"], created[2]["id"]);
  EXPECT_EQ(disposed[0]["id"], created[0]["id"]);
  EXPECT_EQ(disposed[1]["id"], created[1]["id"]);
  for (const auto& d : disposed) EXPECT_EQ(d["status"], 0);
  // The dispose comes before the next create, and each play uses the ID just made.
  EXPECT_EQ(r.kinds(), (std::vector<std::string>{"user", "call", "stock", "sound-create",
                                                 "sound-play", "call", "stock", "sound-dispose",
                                                 "sound-create", "sound-play", "call", "stock",
                                                 "sound-dispose", "sound-create", "sound-play"}));
  auto plays = r.ofKind("sound-play");
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(plays[i]["id"], created[i]["id"]);
}

TEST(EventSoundPlayer, AFailedCreationDoesNotLetTheOldSoundPlayAgain) {
  TestDevice device;
  {
    std::istringstream settings(everythingOn());
    std::string error;
    auto lines = springboard::parseScenario(settings, "settings", error);
    ASSERT_TRUE(lines) << error;
    ASSERT_EQ(springboard::runSession(*lines, {device.root(), PLINKA_TEST_TWEAK_DIR}).exitStatus,
              0);
  }
  // In one process: a key press, then the file is replaced by one that is no sound, then
  // another press.
  auto child = testing_support::inFreshProcess([&] {
    springboard::DeviceState state;
    springboard::HomeScreen home({device.root(), PLINKA_TEST_TWEAK_DIR}, state);
    std::string error;
    if (!home.launch(error)) return;
    springboard::CallArgument point;
    point.kind = springboard::CallArgument::Kind::Point;
    const auto* key = springboard::findHostMethod("UIKeyboardLayoutStar",
                                                  "touchDownWithKey:atPoint:executionContext:");
    home.call("UIKeyboardLayoutStar", *key, {point});
    device.writeFile("/var/LIY/PreferenceBundles/Plinka3.bundle/Keyboard/keyboard.wav", "RIFF");
    home.call("UIKeyboardLayoutStar", *key, {point});
  });
  ASSERT_EQ(child.failure, "");
  auto plays = child.ofKind("sound-play");
  ASSERT_GE(plays.size(), 2u);
  EXPECT_NE(plays[plays.size() - 2]["id"], 0);
  EXPECT_EQ(plays.back()["id"], 0) << "the previous sound played again";
  EXPECT_TRUE(plays.back().value("silent", false));
}

}  // namespace
