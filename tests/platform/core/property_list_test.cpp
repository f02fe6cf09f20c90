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
  // {"on": true, "name": "Tap.wav"} as the platform writes it in binary.
  static std::string binaryList() {
    ns::AutoreleasePool pool;
    id list = ns::dictionary();
    ns::setValue(list, "on", ns::boolNumber(true));
    ns::setValue(list, "name", ns::string("Tap.wav"));
    std::string host = device::hostPath("/binary.plist");
    EXPECT_TRUE(ns::writePlist(host, list));
    return read(host);
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
  // Found by fuzzing: a NUL byte passed for a word character, and the key lost its end when
  // written back. A quoted string holding U+0000 is read up to it, as the other forms read it.
  EXPECT_EQ(ns::readPlist(write("/nul.plist", std::string("{ k\0ey = 1; }", 13))), nil);
  EXPECT_EQ(
      ns::toJson(ns::readPlist(write("/nul.plist", std::string("{ k = \"a\0b\"; }", 14)))).dump(),
      R"({"k":"a"})");
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

// A string is read in its declared encoding or the list is not read at all: the platform never
// makes a string of bytes that are not text. The first blind sweep crashed on such a string.
TEST_F(TemporaryRoot, TextThatIsNotUtf8MakesTheWholeListUnreadableAndTheFileIsKept) {
  ns::AutoreleasePool pool;
  // A binary list whose ASCII string holds a byte over 127, made from a well-formed one.
  std::string binary = binaryList();
  ASSERT_NE(binary.find("Tap.wav"), std::string::npos);
  binary[binary.find("Tap.wav")] = '\xE9';

  std::string xml(kXml);
  const std::string file = "/var/mobile/Library/Preferences/com.example.text.plist";
  for (const std::string& bytes :
       {binary, xml.replace(xml.find("Tap.wav"), 3, "T\xFFp"),
        std::string(kXml).replace(std::string(kXml).find("<key>on"), 7, "<key>\xC0\x80"),
        std::string("{ name = \"Tap\xED\xA0\x80\"; on = 1; }")}) {
    std::string path = write(file, bytes);
    EXPECT_EQ(ns::readPlist(path), nil) << bytes;
    id store = send(send(cls("HBPreferences"), "alloc"),
                    "initWithIdentifier:", ns::string("com.example.text"));
    EXPECT_EQ(send(store, "objectForKey:", ns::string("on")), nil) << bytes;
    ns::release(store);
    ASSERT_TRUE(ns::updatePlistDictionary(path, [](id) {}));
    EXPECT_EQ(read(path + ".unreadable"), bytes);
    fs::remove(path + ".unreadable");
  }

  // Text that is well-formed is read whatever its script, from XML and from binary (UTF-16).
  const std::string song = "\xC3\xA9t\xC3\xA9 \xE2\x99\xAA.caf";
  std::string path =
      write("/song.plist", std::string(kXml).replace(std::string(kXml).find("Tap.wav"), 7, song));
  id songs = ns::readPlist(path);
  ASSERT_NE(songs, nil);
  EXPECT_EQ(ns::utf8(ns::valueFor(songs, "name")), song);
  ASSERT_TRUE(ns::writePlist(path, songs));
  EXPECT_EQ(ns::utf8(ns::valueFor(ns::readPlist(path), "name")), song);
}

// Found by fuzzing: libplist's copying getter aborted the process on a string holding U+0000.
TEST_F(TemporaryRoot, AStringHoldingNulIsReadUpToItNotAnAbort) {
  ns::AutoreleasePool pool;
  std::string binary = binaryList();
  ASSERT_NE(binary.find("Tap.wav"), std::string::npos);
  binary[binary.find("Tap.wav") + 2] = '\0';
  EXPECT_EQ(ns::toJson(ns::readPlist(write("/nul.plist", binary))).dump(),
            R"({"on":true,"name":"Ta"})");
}

// Found by fuzzing: libplist asserted (aborting the process) on a dictionary key holding U+0000,
// which binary lists store as UTF-16. Keys and strings are read up to it, the other values whole.
TEST_F(TemporaryRoot, AKeyHoldingNulIsReadUpToItNotAnAbort) {
  ns::AutoreleasePool pool;
  id list = ns::dictionary();
  ns::setValue(list, "\u00e9Xb", ns::string("\u00e9Yz"));
  ns::setValue(list, "mode", ns::integerNumber(-3));
  std::string host = device::hostPath("/utf16.plist");
  ASSERT_TRUE(ns::writePlist(host, list, true));
  std::string binary = read(host);
  for (char unit : {'X', 'Y'}) {
    size_t at = binary.find(std::string{'\0', unit});
    ASSERT_NE(at, std::string::npos) << "UTF-16 unit " << unit;
    binary[at + 1] = '\0';
  }
  EXPECT_EQ(ns::toJson(ns::readPlist(write("/nul-key.plist", binary))).dump(),
            "{\"\u00e9\":\"\u00e9\",\"mode\":-3}");
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

// A long row list, binary and XML, read back whole and in order, arrays nested in arrays
// included (each level walked on its own), empty arrays too. A text every row repeats comes
// back as one shared string, key names too; every row keeps its own label.
TEST_F(TemporaryRoot, LongArraysAreReadWholeAndInOrder) {
  ns::AutoreleasePool pool;
  constexpr int kRows = 20000;
  std::vector<id> rows;
  for (int i = 0; i < kRows; ++i) {
    id row = ns::dictionary();
    ns::setValue(row, "label", ns::string("row " + std::to_string(i)));
    ns::setValue(row, "cell", ns::string("PSSwitchCell"));
    if (i % 7 == 0) {
      ns::setValue(row, "pair", ns::array({ns::integerNumber(i), ns::array({})}));
    }
    rows.push_back(row);
  }
  id root = ns::dictionary();
  ns::setValue(root, "items", ns::array(rows));
  for (bool binary : {true, false}) {
    std::string host = device::hostPath(binary ? "/long.plist" : "/long-xml.plist");
    ASSERT_TRUE(ns::writePlist(host, root, binary));
    id back = ns::readPlist(host);
    std::vector<id> read = ns::elements(ns::valueFor(back, "items"));
    ASSERT_EQ(read.size(), static_cast<size_t>(kRows)) << binary;
    for (int i : {0, 1, 7, 10001, kRows - 2, kRows - 1}) {
      nlohmann::ordered_json expected = {{"label", "row " + std::to_string(i)},
                                         {"cell", "PSSwitchCell"}};
      if (i % 7 == 0) expected["pair"] = {i, nlohmann::ordered_json::array()};
      EXPECT_EQ(ns::toJson(read[static_cast<size_t>(i)]), expected) << i << " binary " << binary;
    }
    id firstCell = ns::valueFor(read[0], "cell");
    id firstLabelKey = ns::dictionaryEntries(read[0])[0].first;
    for (int i = 0; i < kRows; ++i) {
      id row = read[static_cast<size_t>(i)];
      ASSERT_EQ(ns::utf8(ns::valueFor(row, "label")), "row " + std::to_string(i)) << binary;
      ASSERT_EQ(ns::valueFor(row, "cell"), firstCell) << i << " binary " << binary;
      ASSERT_EQ(ns::dictionaryEntries(row)[0].first, firstLabelKey) << i << " binary " << binary;
    }
  }
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
