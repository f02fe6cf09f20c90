// The settings snapshot: read once at load, all seventeen keys, whatever the store holds.
#include <gtest/gtest.h>

#include "tweak_session.h"

namespace {

using tweak_test::everythingOn;
using tweak_test::kSettingsFile;
using tweak_test::run;
using tweak_test::TestDevice;

const std::vector<std::string> kKeysInOrder = {
    "kEnabledPK",      "kCustomCharge",  "kCustomKeyboard", "kCustomLock",    "kCustomPasscode",
    "kCustomRespring", "kRespringMode",  "kCustomUnlock",   "kAutoUnlockX",   "kCustomVolume",
    "kChargeSound",    "kKeyboardSound", "kLockSound",      "kPasscodeSound", "kRespringSound",
    "kUnlockSound",    "kVolumeSound"};

std::vector<std::string> keysRead(const tweak_test::Run& r) {
  auto reads = r.ofKind("settings-read");
  if (reads.size() != 1) return {};
  EXPECT_EQ(reads[0]["identifier"], "com.plinka.plinka3");
  return reads[0]["keys"].get<std::vector<std::string>>();
}

TEST(SettingsSnapshot, AllSeventeenKeysAreReadInOrderWhetherEnabledOrNot) {
  TestDevice device;
  for (const char* enabled : {"true", "false"}) {
    auto r = run(std::string("pref kEnabledPK ") + enabled + "\nlaunch\n", device);
    EXPECT_EQ(keysRead(r), kKeysInOrder) << "kEnabledPK " << enabled;
  }
}

TEST(SettingsSnapshot, EmptyMissingAndMalformedStoresInstallNothingAndStayUntouched) {
  const std::vector<std::pair<std::string, std::string>> stores = {
      {"missing", ""},
      {"empty", "\x01"},  // replaced by an empty file below
      {"malformed", "<?xml version=\"1.0\"?><plist><dict><key>kEnabledPK</key><true/>"},
      {"truncated binary", std::string("bplist00\xd1\x01\x02", 9)},
      {"not a dictionary", "<?xml version=\"1.0\"?><plist><array><true/></array></plist>"},
      {"garbage", "\x00\xff\x13 not a plist at all"},
  };
  for (const auto& [name, bytes] : stores) {
    TestDevice device;
    if (name == "empty") {
      device.writeFile(kSettingsFile, "");
    } else if (!bytes.empty()) {
      device.writeFile(kSettingsFile, bytes);
    }
    std::string before = device.readFile(kSettingsFile);
    auto r = run("launch\nplug\ntype a\nlock\nunlock\nvolume up\n", device);
    EXPECT_TRUE(r.ofKind("hook").empty()) << name;
    EXPECT_TRUE(r.ofKind("add-method").empty()) << name;
    EXPECT_EQ(keysRead(r), kKeysInOrder) << name;
    // The host behaves as without the product: the stock chime and lock sound, nothing else.
    EXPECT_EQ(r.heard(), (std::vector<std::string>{"1106", "1100"})) << name;
    EXPECT_EQ(device.readFile(kSettingsFile), before) << name << ": the file was rewritten";
  }
}

TEST(SettingsSnapshot, ASwitchStoredFalseIsLikeAnAbsentOne) {
  TestDevice device;
  auto absent = run("pref kEnabledPK true\nlaunch\ntype a\n", device);
  auto stored = run(
      "pref kCustomKeyboard false\npref kKeyboardSound \"keyboard.wav\"\nlaunch\ntype a\n", device);
  EXPECT_TRUE(absent.heard().empty());
  EXPECT_TRUE(stored.heard().empty());
}

TEST(SettingsSnapshot, SwitchesReadStringsAndNumbersTheWayTheirValuesReadAsBooleans) {
  TestDevice device;
  std::string base = "pref kEnabledPK \"YES\"\npref kKeyboardSound \"keyboard.wav\"\n";
  EXPECT_EQ(run(base + "pref kCustomKeyboard 2\nlaunch\ntype a\n", device).heard(),
            std::vector<std::string>{"Keyboard"});
  EXPECT_EQ(run(base + "pref kCustomKeyboard \"true\"\nlaunch\ntype a\n", device).heard(),
            std::vector<std::string>{"Keyboard"});
  EXPECT_TRUE(run(base + "pref kCustomKeyboard \"no\"\nlaunch\ntype a\n", device).heard().empty());
  EXPECT_TRUE(run(base + "pref kCustomKeyboard 0\nlaunch\ntype a\n", device).heard().empty());
}

TEST(SettingsSnapshot, ASwitchOfAKindThatCannotBeReadAsABooleanReadsAsAbsent) {
  TestDevice device;
  // An array under kEnabledPK: written directly, as a damaged settings file would hold it.
  device.writeFile(kSettingsFile,
                   "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                   "<key>kEnabledPK</key><true/>"
                   "<key>kCustomKeyboard</key><array><true/></array>"
                   "<key>kRespringMode</key><dict/>"
                   "<key>kCustomRespring</key><true/>"
                   "<key>kRespringSound</key><string>respring.wav</string>"
                   "<key>kKeyboardSound</key><string>keyboard.wav</string>"
                   "</dict></plist>");
  auto r = run("launch\ntype a\n", device);
  EXPECT_EQ(r.ofKind("hook").size(), 14u);
  // The dictionary under kRespringMode reads as 0: the respring sound plays at launch.
  EXPECT_EQ(r.heard(), std::vector<std::string>{"Respring"});
}

// respringMode keeps the low 32 bits of what is stored: 2^32 reads as 0 (always play),
// 2^32 + 1 as 1 (only when unplugged), and 7 as itself (never).
TEST(SettingsSnapshot, RespringModeKeepsTheLowThirtyTwoBits) {
  TestDevice device;
  std::string base = everythingOn() + "pref kCustomCharge false\nset battery 2\n";
  auto mode = [&](const std::string& value) {
    return run(base + "pref kRespringMode " + value + "\nlaunch\n", device).heard();
  };
  EXPECT_EQ(mode("0"), std::vector<std::string>{"Respring"});
  EXPECT_EQ(mode("4294967296"), std::vector<std::string>{"Respring"});
  EXPECT_TRUE(mode("4294967297").empty());  // mode 1: unplugged only, and nothing monitors it
  EXPECT_TRUE(mode("7").empty());
  EXPECT_TRUE(mode("\"2\"").empty());
  EXPECT_TRUE(mode("-1").empty());
}

TEST(SettingsSnapshot, AChangeTakesEffectAtTheNextLaunchOnly) {
  TestDevice device;
  auto r = run(everythingOn() +
                   "pref kCustomVolume false\nlaunch\nvolume up\n"
                   "pref kCustomVolume true\nvolume up\nlaunch\nvolume up\n",
               device);
  auto launches = r.ofKind("launch");
  ASSERT_EQ(launches.size(), 2u);
  std::vector<std::string> volume;
  for (const auto& sound : r.heard()) {
    if (sound == "Volume") volume.push_back(sound);
  }
  EXPECT_EQ(volume.size(), 1u);
  EXPECT_EQ(r.after("launch").heard(), (std::vector<std::string>{"Respring", "Volume"}));
}

}  // namespace
