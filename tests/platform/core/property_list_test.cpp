// Property lists as the platform reads and writes them, and the settings store over them.
#include <Cephei/HBPreferences.h>
#include <Foundation/Foundation.h>
#include <device/device.h>
#include <gtest/gtest.h>

#include <stdlib.h>
#include "temporary_folder.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

class TemporaryRoot : public ::testing::Test {
 protected:
  std::string write(const std::string& devicePath, const std::string& bytes) {
    std::string host = device::hostPath(devicePath);
    fs::create_directories(fs::path(host).parent_path());
    std::ofstream(host, std::ios::binary) << bytes;
    return host;
  }
  static std::string read(const std::string& host) {
    std::ifstream in(host, std::ios::binary);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
  }
  testing_support::TemporaryDeviceRoot root_;
};

constexpr const char* kXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
    "<key>on</key><true/><key>mode</key><integer>-3</integer><key>name</key>"
    "<string>Tap.wav</string><key>ratio</key><real>0.5</real><key>list</key><array>"
    "<string>a</string></array></dict></plist>";

TEST_F(TemporaryRoot, ValuesKeepTheirPlistTypes) {
  ns::AutoreleasePool pool;
  id root = ns::readPlist(write("/x.plist", kXml));
  ASSERT_TRUE(ns::isKindOf(root, "NSDictionary"));
  EXPECT_EQ(ns::toJson(root).dump(),
            R"({"on":true,"mode":-3,"name":"Tap.wav","ratio":0.5,"list":["a"]})");
  // Written back as binary and read again: the same values.
  std::string binary = device::hostPath("/y.plist");
  ASSERT_TRUE(ns::writePlist(binary, root));
  EXPECT_EQ(read(binary).substr(0, 6), "bplist");
  EXPECT_EQ(ns::toJson(ns::readPlist(binary)), ns::toJson(root));
}

TEST_F(TemporaryRoot, OldStyleTextIsReadAsTheTweakFilterIsWritten) {
  ns::AutoreleasePool pool;
  id filter = ns::readPlist(write(
      "/Filter.plist",
      "// the tweak's filter\n{ Filter = { Bundles = ( \"com.apple.springboard\", bare.id ); }; "
      "Data = <0fA0 01>; Esc = \"a\\\"b\\n\"; }"));
  EXPECT_EQ(
      ns::toJson(filter).dump(),
      R"({"Filter":{"Bundles":["com.apple.springboard","bare.id"]},"Data":{"bytes":3,"format":"other"},"Esc":"a\"b\n"})");
  for (const char* broken : {"{ Filter = { Bundles = ( \"x\" ); }", "{ a = b }", "( a, , b )",
                             "{ \"unterminated = 1; }", "{ a = <0f1>; }", "(((((((("}) {
    EXPECT_EQ(ns::readPlist(write("/broken.plist", broken)), nil) << broken;
  }
  std::string deep(100000, '(');
  EXPECT_EQ(ns::readPlist(write("/deep.plist", deep)), nil);
}

TEST_F(TemporaryRoot, TheSettingsStoreReadsAnyDamageAsNoKeys) {
  ns::AutoreleasePool pool;
  const std::string file = "/var/mobile/Library/Preferences/com.example.test.plist";
  auto value = [&](const char* key) {
    id store = send(send(cls("HBPreferences"), "alloc"),
                    "initWithIdentifier:", ns::string("com.example.test"));
    id found = send(store, "objectForKey:", ns::string(key));
    std::string shown = found == nil ? "nil" : ns::describe(found);
    ns::release(store);
    return shown;
  };
  EXPECT_EQ(value("name"), "nil");  // no file
  write(file, kXml);
  EXPECT_EQ(value("name"), "Tap.wav");
  EXPECT_EQ(value("absent"), "nil");
  for (const std::string& damage :
       {std::string(""), std::string(kXml).substr(0, 80), std::string("bplist00\x01\x02", 10),
        std::string("<plist><array><true/></array></plist>"), std::string("\xff\xfe\x00junk", 7)}) {
    write(file, damage);
    EXPECT_EQ(value("name"), "nil");
    EXPECT_EQ(read(device::hostPath(file)), damage) << "the store rewrote the file";
  }
  // No identifier, no store.
  EXPECT_EQ(send(send(cls("HBPreferences"), "alloc"), "initWithIdentifier:", ns::string("")), nil);
}

TEST_F(TemporaryRoot, UpdatingAnUnreadableFileKeepsTheUsersBytesAside) {
  ns::AutoreleasePool pool;
  std::string host = write("/var/mobile/Library/Preferences/d.plist", "not a plist, but mine");
  ASSERT_TRUE(ns::updatePlistDictionary(
      host, [](id dict) { ns::setValue(dict, "k", ns::boolNumber(true)); }));
  EXPECT_EQ(read(host + ".unreadable"), "not a plist, but mine");
  EXPECT_EQ(ns::toJson(ns::readPlist(host)).dump(), R"({"k":true})");
  // A second damaged file goes beside the first, not over it.
  write("/var/mobile/Library/Preferences/d.plist", "damaged again");
  ASSERT_TRUE(ns::updatePlistDictionary(host, [](id) {}));
  EXPECT_EQ(read(host + ".unreadable"), "not a plist, but mine");
  EXPECT_EQ(read(host + ".unreadable-2"), "damaged again");
}

TEST_F(TemporaryRoot, UpdatingKeepsAnXmlFileXmlAndRemovesKeysGivenNothing) {
  ns::AutoreleasePool pool;
  std::string host = write("/p.plist", kXml);
  ASSERT_TRUE(ns::updatePlistDictionary(host, [](id dict) {
    ns::setValue(dict, "name", nil);
    ns::setValue(dict, "new", ns::string("v"));
  }));
  EXPECT_EQ(read(host).substr(0, 5), "<?xml");
  EXPECT_EQ(ns::toJson(ns::readPlist(host)).dump(),
            R"({"on":true,"mode":-3,"ratio":0.5,"list":["a"],"new":"v"})");
}

TEST(DevicePaths, StayUnderTheRootWhateverTheyClimb) {
  device::setRoot("/tmp/root/");
  EXPECT_EQ(device::hostPath("/var/a////b"), "/tmp/root/var/a/b");
  EXPECT_EQ(device::hostPath("/var/../../../../etc/passwd"), "/tmp/root/etc/passwd");
  EXPECT_EQ(device::hostPath("/./x/./y/.."), "/tmp/root/x");
  EXPECT_EQ(device::hostPath("/"), "/tmp/root");
  device::setRoot("");
  EXPECT_EQ(device::hostPath("/a/../b"), "/b");
}

}  // namespace
