// Text the platform accepts, and the journal written as JSON whatever bytes reached it.
#include <device/journal.h>
#include <device/utf8.h>
#include <gtest/gtest.h>

namespace {

TEST(Utf8, TheBoundariesOfWellFormedText) {
  for (const char* good :
       {"", "plain", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80",
        "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF", "\xC3\xA9t\xC3\xA9 \xE2\x99\xAA"}) {
    EXPECT_TRUE(utf8::isWellFormed(good)) << good;
    EXPECT_EQ(utf8::repaired(good), good);
  }
  // Stray continuation, overlong forms, surrogates, past U+10FFFF, lead bytes that never lead,
  // and sequences cut short (at the end and before an ASCII byte).
  for (const char* bad : {"\x80", "\xC0\xAF", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80",
                          "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF",
                          "Tap\xE9.wav", "\xE2\x99", "\xF0\x90\x80x"}) {
    EXPECT_FALSE(utf8::isWellFormed(bad)) << bad;
    EXPECT_TRUE(utf8::isWellFormed(utf8::repaired(bad))) << bad;
  }
  // Each maximal ill-formed subpart is one replacement character; what follows is kept.
  EXPECT_EQ(utf8::repaired("Tap\xE9.wav"), "Tap\xEF\xBF\xBD.wav");
  EXPECT_EQ(utf8::repaired("a\xE2\x99z"), "a\xEF\xBF\xBDz");
  EXPECT_EQ(utf8::repaired("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

// The first blind sweep's crash: a string that is not UTF-8 reached the journal, and writing the
// journal as JSON threw.
TEST(Journal, EntriesHoldingAnyBytesAreWrittenAsJson) {
  journal::clear();
  journal::record("sound-create", {{"path", "/Lock/\xFF.caf"},
                                   {"keys", journal::Entry::array({"ok", "\xC3"})},
                                   {"\xED\xA0\x80", 1}});
  journal::append({{"kind", "from-a-child"}, {"nested", {{"name", "\x80"}}}});
  ASSERT_EQ(journal::entries().size(), 2u);
  std::string first = journal::entries()[0].dump();
  EXPECT_NE(first.find(R"("path":"/Lock/�.caf","keys":["ok","�"],"���":1)"), std::string::npos)
      << first;
  EXPECT_EQ(journal::entries()[1].dump(), R"({"kind":"from-a-child","nested":{"name":"�"}})");
  journal::clear();
}

}  // namespace
