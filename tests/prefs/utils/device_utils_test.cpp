// ZELDeviceUtils and isUnionMountPresent through the runtime, on the simulated device.
#include <device/device.h>
#include <device/journal.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pkprefs3/ZELDeviceUtils.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "fresh_process.h"

namespace fs = std::filesystem;

namespace {

id deviceUtils() {
  return cls("ZELDeviceUtils");
}
std::string answer(id receiver, const char* selector) {
  return ns::utf8(send(receiver, selector));
}

class DeviceUtilsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("plinka-device-utils-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(root_);
    device::setRoot(root_.string());
    device::setMachine("iPhone13,4");
    device::setSystemVersion("14.4");
    setMounts("/dev/disk0s1s1 / apfs rw,nosuid 0 0\n");
  }
  void TearDown() override {
    device::setRoot("");
    device::setMountTable("/proc/self/mounts");
    device::setMachine("iPhone13,4");
    device::setSystemVersion("14.4");
    fs::remove_all(root_);
  }
  // The table lives beside the markers; nothing looks for it there.
  void setMounts(const std::string& table) {
    std::ofstream(root_ / "mounts") << table;
    device::setMountTable((root_ / "mounts").string());
  }
  void placeMarker(const std::string& name) { std::ofstream(root_ / name) << ""; }

  fs::path root_;
  ns::AutoreleasePool pool_;
};

constexpr const char* kUnionFree = "/dev/disk0s1s1 / apfs rw 0 0\ndevfs /dev devfs rw 0 0\n";

TEST_F(DeviceUtilsTest, ModelTableAnswersEveryRowAndNotFoundOtherwise) {
  // Apple's published identifiers of the phones the pane names, one or two per generation.
  const std::vector<std::pair<std::string, std::string>> published = {
      {"iPhone13,4", "iPhone 12 Pro Max"}, {"iPhone13,2", "iPhone 12"}, {"iPhone12,1", "iPhone 11"},
      {"iPhone12,5", "iPhone 11 Pro Max"}, {"iPhone11,8", "iPhone XR"}, {"iPhone11,2", "iPhone XS"},
      {"iPhone10,3", "iPhone X"},
  };
  for (const auto& [identifier, name] : published) {
    device::setMachine(identifier);
    EXPECT_EQ(answer(deviceUtils(), "getDeviceCode"), identifier);
    EXPECT_EQ(answer(deviceUtils(), "getDeviceModel"), name) << identifier;
  }
  // Every identifier of those generations the table knows names a phone of its generation (the
  // major number: 13 the iPhone 12 family, 12 the 11, 11 the XS and XR, 10 the 8 and X), and
  // the ones published above are not the only ones it knows in each.
  const std::map<int, std::vector<std::string>> generations = {{13, {"iPhone 12"}},
                                                               {12, {"iPhone 11"}},
                                                               {11, {"iPhone XS", "iPhone XR"}},
                                                               {10, {"iPhone 8", "iPhone X"}}};
  std::map<int, int> known;
  for (const auto& [major, names] : generations) {
    for (int minor = 1; minor <= 8; ++minor) {
      std::string identifier = "iPhone" + std::to_string(major) + "," + std::to_string(minor);
      device::setMachine(identifier);
      std::string name = answer(deviceUtils(), "getDeviceModel");
      if (name == "Not Found") continue;
      ++known[major];
      bool ofItsGeneration = false;
      for (const std::string& start : names) ofItsGeneration |= name.rfind(start, 0) == 0;
      EXPECT_TRUE(ofItsGeneration) << identifier << " answers " << name;
    }
  }
  EXPECT_EQ(known[13], 4) << "the iPhone 12, 12 mini, 12 Pro and 12 Pro Max";
  EXPECT_EQ(known[12], 3) << "the iPhone 11, 11 Pro and 11 Pro Max";
  EXPECT_GE(known[11], 4) << "the iPhone XS, XS Max (two) and XR";
  // Outside the table: near misses, other devices, case and space differences.
  for (const char* identifier :
       {"iPhone13,5", "iPhone14,2", "iphone13,4", "iPhone13,4 ", "iPad8,1"}) {
    device::setMachine(identifier);
    EXPECT_EQ(answer(deviceUtils(), "getDeviceModel"), "Not Found") << identifier;
  }
}

TEST_F(DeviceUtilsTest, FailedHardwareQueryAnswersEmptyCodeAndNotFound) {
  device::setMachine("");  // the platform has no value
  id code = send(deviceUtils(), "getDeviceCode");
  ASSERT_NE(code, nil);
  EXPECT_EQ(ns::utf8(code), "");
  EXPECT_EQ(answer(deviceUtils(), "getDeviceModel"), "Not Found");
}

struct VersionCase {
  const char* running;
  const char* argument;
  bool ge, le, gt, lt;
};

TEST_F(DeviceUtilsTest, VersionComparisonsAreNumeric) {
  const VersionCase cases[] = {
      {"14.4", "14.4", true, true, false, false},   // equal
      {"14.9", "14.10", false, true, false, true},  // digit runs by value
      {"14.10", "14.9", true, false, true, false},
      {"14", "14.0", false, true, false, true},  // a prefix is smaller
      {"14.0", "14", true, false, true, false},
      {"14.01", "14.1", true, true, false, false},  // leading zeros vanish
      {"014", "14", true, true, false, false},
      {"13.0b2", "13.0", true, false, true, false},    // the longer is greater
      {"13.0b2", "13.0.1", true, false, true, false},  // 'b' after '.'
      {"", "1", false, true, false, true},
      {"1.19", "1.3", true, false, true, false},
      {"13.7", "14.0", false, true, false, true},
      {"15.0", "14.8.1", true, false, true, false},
  };
  for (const VersionCase& c : cases) {
    device::setSystemVersion(c.running);
    id argument = ns::string(c.argument);
    SCOPED_TRACE(std::string(c.running) + " against " + c.argument);
    EXPECT_EQ(send<BOOL>(deviceUtils(), "isSystemVersionGreaterThanOrEqualTo:", argument), c.ge);
    EXPECT_EQ(send<BOOL>(deviceUtils(), "isSystemVersionLessThanOrEqualTo:", argument), c.le);
    EXPECT_EQ(send<BOOL>(deviceUtils(), "isSystemVersionGreaterThan:", argument), c.gt);
    EXPECT_EQ(send<BOOL>(deviceUtils(), "isSystemVersionLessThan:", argument), c.lt);
  }
}

TEST_F(DeviceUtilsTest, VersionWrittenAsNumberComparesByItsDigits) {
  device::setSystemVersion("14.4");
  EXPECT_TRUE(send<BOOL>(deviceUtils(), "isSystemVersionGreaterThan:", ns::integerNumber(14)));
  EXPECT_TRUE(send<BOOL>(deviceUtils(), "isSystemVersionLessThan:", ns::doubleNumber(14.5)));
  EXPECT_TRUE(
      send<BOOL>(deviceUtils(), "isSystemVersionGreaterThanOrEqualTo:", ns::doubleNumber(13)));
}

// --- The union mount scan ------------------------------------------------------------------

TEST_F(DeviceUtilsTest, UnionMountFoundWhereverItIsListed) {
  setMounts("overlay / overlay rw,relatime,lowerdir=/a,upperdir=/b 0 0\n" +
            std::string(kUnionFree));
  EXPECT_TRUE(isUnionMountPresent());
  setMounts(std::string(kUnionFree) + "none /var/jb aufs rw 0 0\n");
  EXPECT_TRUE(isUnionMountPresent());
  setMounts(std::string(kUnionFree) + "tmpfs /mnt tmpfs rw,union 0 0\n" + kUnionFree);
  EXPECT_TRUE(isUnionMountPresent());
  setMounts(std::string(kUnionFree) + "merged /srv fuse.mergerfs rw 0 0\n");
  EXPECT_TRUE(isUnionMountPresent());
  EXPECT_TRUE(send<BOOL>(deviceUtils(), "detectCheckra1n"));
}

TEST_F(DeviceUtilsTest, NoUnionMountAnswersFalseSilently) {
  // Options that merely contain the word do not make a union mount.
  setMounts(std::string(kUnionFree) + "tmpfs /mnt tmpfs rw,nounion,x-union=1 0 0\n" +
            "/dev/sda1 /media/overlay ext4 rw 0 0\n");
  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(isUnionMountPresent());
  EXPECT_FALSE(send<BOOL>(deviceUtils(), "detectCheckra1n"));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST_F(DeviceUtilsTest, EmptyMountTablePrintsTheMessageAndAnswersFalse) {
  setMounts("");
  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(isUnionMountPresent());
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Unable to get mounts\n");

  device::setMountTable((root_ / "no-such-table").string());
  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(send<BOOL>(deviceUtils(), "detectCheckra1n"));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Unable to get mounts\n");
}

TEST_F(DeviceUtilsTest, IsUnionMountPresentIsExportedUnderItsPlainName) {
  void* library = dlopen("libpkprefs3.so", RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(dlsym(library, "isUnionMountPresent"), reinterpret_cast<void*>(&isUnionMountPresent));
  dlclose(library);
}

// --- The jailbreak decision ----------------------------------------------------------------

// Records every path NSFileManager is asked about, then answers as before.
IMP originalFileExists = nullptr;
BOOL recordingFileExists(id self, SEL op, id path) {
  journal::record("file-test", {{"path", ns::utf8(path)}});
  return reinterpret_cast<BOOL (*)(id, SEL, id)>(originalFileExists)(self, op, path);
}
void recordFileTests() {
  Method method = class_getInstanceMethod(objc_getClass("NSFileManager"), sel("fileExistsAtPath:"));
  originalFileExists = method_setImplementation(method, reinterpret_cast<IMP>(recordingFileExists));
}

struct JailbreakCase {
  bool unionMount;
  std::vector<std::string> markers;
  std::string expected;
  std::vector<std::string> tested;  // the markers asked about, in order
};

TEST_F(DeviceUtilsTest, JailbreakNameFollowsTheDecisionTableAndTestsEachMarkerAtMostOnce) {
  const std::string odyssey = "/.installed_odyssey";
  const std::string taurine = "/.installed_taurine";
  const std::string unc0ver = "/.installed_unc0ver";
  const std::vector<JailbreakCase> cases = {
      {true, {"odyssey"}, "Odysseyra1n", {odyssey}},
      {true, {"taurine"}, "Taurinera1n", {odyssey, taurine}},
      {true, {}, "checkra1n", {odyssey, taurine}},
      {false, {"odyssey"}, "Odyssey", {odyssey}},
      {false, {"taurine"}, "Taurine", {odyssey, taurine}},
      {false, {"unc0ver"}, "unc0ver", {odyssey, taurine, unc0ver}},
      {false, {}, "Unknown", {odyssey, taurine, unc0ver}},
      // The unc0ver marker is never consulted beside a union mount.
      {true, {"unc0ver"}, "checkra1n", {odyssey, taurine}},
      {false, {"odyssey", "taurine", "unc0ver"}, "Odyssey", {odyssey}},
      {false, {"taurine", "unc0ver"}, "Taurine", {odyssey, taurine}},
      {true, {"odyssey", "taurine"}, "Odysseyra1n", {odyssey}},
  };
  for (const JailbreakCase& c : cases) {
    SCOPED_TRACE(c.expected + (c.unionMount ? " with a union mount" : " without a union mount"));
    for (const char* name : {"odyssey", "taurine", "unc0ver"}) {
      fs::remove(root_ / (std::string(".installed_") + name));
    }
    for (const std::string& name : c.markers) placeMarker(".installed_" + name);
    setMounts(c.unionMount ? std::string(kUnionFree) + "overlay /var overlay rw 0 0\n"
                           : kUnionFree);
    testing_support::ChildRun run = testing_support::inFreshProcess([] {
      recordFileTests();
      journal::record("answer",
                      {{"name", ns::utf8(send(cls("ZELDeviceUtils"), "getJailbreakName"))}});
    });
    ASSERT_EQ(run.failure, "");
    std::vector<std::string> tested;
    for (const journal::Entry& entry : run.ofKind("file-test")) tested.push_back(entry["path"]);
    EXPECT_EQ(tested, c.tested);
    ASSERT_EQ(run.ofKind("answer").size(), 1u);
    EXPECT_EQ(run.ofKind("answer")[0]["name"], c.expected);
  }
}

// --- Overrides in a subclass ---------------------------------------------------------------

id subclassDeviceCode(id, SEL) {
  return ns::string("iPhone11,8");
}
BOOL subclassDetectsCheckra1n(id, SEL) {
  return YES;
}

TEST_F(DeviceUtilsTest, SubclassOverridesReachTheAnswersBuiltOnThem) {
  testing_support::ChildRun run = testing_support::inFreshProcess([] {
    ClassBuilder builder("TestDeviceUtils", objc_getClass("ZELDeviceUtils"));
    Class subclass = builder.classMethod("getDeviceCode", subclassDeviceCode)
                         .classMethod("detectCheckra1n", subclassDetectsCheckra1n)
                         .register_();
    journal::record("subclass", {{"model", ns::utf8(send(subclass, "getDeviceModel"))},
                                 {"jailbreak", ns::utf8(send(subclass, "getJailbreakName"))}});
    journal::record("base",
                    {{"model", ns::utf8(send(cls("ZELDeviceUtils"), "getDeviceModel"))},
                     {"jailbreak", ns::utf8(send(cls("ZELDeviceUtils"), "getJailbreakName"))}});
  });
  ASSERT_EQ(run.failure, "");
  ASSERT_EQ(run.ofKind("subclass").size(), 1u);
  EXPECT_EQ(run.ofKind("subclass")[0]["model"], "iPhone XR");
  EXPECT_EQ(run.ofKind("subclass")[0]["jailbreak"], "checkra1n");
  EXPECT_EQ(run.ofKind("base")[0]["model"], "iPhone 12 Pro Max");
  EXPECT_EQ(run.ofKind("base")[0]["jailbreak"], "Unknown");
}

}  // namespace
