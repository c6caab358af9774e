// Stored names to readable text and back: the rules of --charset, the
// code-page tables the system gives, and UTF-16 records.
#include "names/name_charset.h"

#include <gtest/gtest.h>

#include "names/unicode_text.h"

namespace {

using lzhnames::CharsetMode;
using lzhnames::NameCharset;

const NameCharset kAuto{CharsetMode::Auto, ""};
const NameCharset kRaw{CharsetMode::Raw, ""};

TEST(NameCharset, ReadableTextFollowsTheChosenRule) {
  struct Case {
    const char* what;
    NameCharset charset;
    std::string bytes;
    std::uint32_t codePage;
    std::string text;
  };
  const Case cases[] = {
      {"ASCII kept", kAuto, "docs\\a.txt", 0, "docs\\a.txt"},
      {"UTF-8 kept", kAuto, "caf\xC3\xA9", 0, "caf\xC3\xA9"},
      // 表 is 0x95 0x5C: its trail byte is no separator.
      {"Shift-JIS converted", kAuto, "\x95\x5C\\\x83\x65.txt", 0, "\xE8\xA1\xA8\\\xE3\x83\x86.txt"},
      {"half-width katakana", kAuto, "\xB1\xB2", 0, "\xEF\xBD\xB1\xEF\xBD\xB2"},
      {"not Shift-JIS, Latin letters", kAuto, "caf\xE9", 0, "caf\xC3\xA9"},
      {"neither: bytes kept", kAuto, "a\xF7", 0, "a\xF7"},
      // Western DOS names that are well-formed Shift-JIS, and Japanese ones
      // that must stay so.
      {"437: a kanji between letters", kAuto,
       "Gr\x94\xE1"
       "e",
       0, "Größe"},
      {"1252: a user-defined character", kAuto,
       "Gr\xF6\xDF"
       "e",
       0, "Größe"},
      {"437: a symbol between letters", kAuto, "M\x81ller", 0, "Müller"},
      {"437: a level-2 kanji by a letter", kAuto,
       "\x9A"
       "bersicht",
       0, "Übersicht"},
      {"437: a lone half-width kana", kAuto, "A\xA4o", 0, "Año"},
      {"Japanese: kanji", kAuto, "\x93\xFA\x96\x7B\x8C\xEA.txt", 0, "日本語.txt"},
      {"Japanese: kanji after Latin", kAuto, "Windows\x94\xC5.txt", 0, "Windows版.txt"},
      {"Japanese: kana between letters", kAuto,
       "A\x82\xC6"
       "B",
       0, "AとB"},
      {"Japanese: middle dot", kAuto,
       "A\x81\x45"
       "B",
       0, "A・B"},
      {"Japanese: IBM kanji", kAuto, "\xFB\xFC\x8B\xB4.doc", 0, "髙橋.doc"},
      {"Japanese: half-width by a letter", kAuto,
       "\xC3\xBD\xC4"
       "A.TXT",
       0, "ﾃｽﾄA.TXT"},
      {"doubted, but no Latin reading", kAuto,
       "a\x95\x5C"
       "b",
       0, "a表b"},
      {"record's code page decides", kAuto, "caf\xE9", 1252, "caf\xC3\xA9"},
      {"record's code page over UTF-8 look", kAuto, "\xC3\xA9", 1252, "\xC3\x83\xC2\xA9"},
      {"record's UTF-8", kAuto, "\xC3\xA9", 65001, "\xC3\xA9"},
      {"raw keeps Shift-JIS", kRaw, "\x95\x5C", 0, "\x95\x5C"},
      {"named DOS code page", {CharsetMode::Named, "CP437"}, "\x81", 0, "\xC3\xBC"},
      {"named: invalid bytes kept", {CharsetMode::Named, "UTF-8"}, "\x95\x5C", 0, "\x95\x5C"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lzhnames::ReadableText(c.charset, c.bytes, c.codePage), c.text) << c.what;
  }
}

TEST(NameCharset, StoredBytesAreTheCodePagesOrRefused) {
  std::string bytes;
  ASSERT_TRUE(lzhnames::StoredBytes("CP932", "\xE8\xA1\xA8.txt", bytes));
  EXPECT_EQ(bytes, "\x95\x5C.txt");
  ASSERT_TRUE(lzhnames::StoredBytes("CP437", "\xC3\xBC", bytes));
  EXPECT_EQ(bytes, "\x81");
  // No look-alike: a character the code page lacks refuses the name.
  EXPECT_FALSE(lzhnames::StoredBytes("CP437", "\xE8\xA1\xA8", bytes));
  EXPECT_FALSE(lzhnames::StoredBytes("CP932", "caf\xE9", bytes));
}

TEST(NameCharset, ParseTakesAutoRawAndKnownCharsets) {
  NameCharset charset;
  std::string error;
  ASSERT_TRUE(lzhnames::ParseCharset("RAW", charset, error));
  EXPECT_EQ(charset.mode, CharsetMode::Raw);
  ASSERT_TRUE(lzhnames::ParseCharset("auto", charset, error));
  EXPECT_EQ(charset.mode, CharsetMode::Auto);
  ASSERT_TRUE(lzhnames::ParseCharset("cp932", charset, error));
  EXPECT_EQ(charset.mode, CharsetMode::Named);
  EXPECT_EQ(charset.name, "cp932");
  EXPECT_FALSE(lzhnames::ParseCharset("NO-SUCH-CHARSET", charset, error));
  EXPECT_NE(error.find("NO-SUCH-CHARSET"), std::string::npos) << error;
}

TEST(UnicodeText, Utf16AndUtf8RoundTripAndRefuseWhatIsNotText) {
  const std::u16string units = u"a\u8868\U0001F600";
  std::string utf8;
  ASSERT_TRUE(lzhnames::Utf16ToUtf8(units, utf8));
  EXPECT_EQ(utf8, "a\xE8\xA1\xA8\xF0\x9F\x98\x80");
  std::u16string back;
  ASSERT_TRUE(lzhnames::Utf8ToUtf16(utf8, back));
  EXPECT_EQ(back, units);
  EXPECT_EQ(lzhnames::Utf16FromLittleEndian(std::string("a\0h\x88", 4) + "x"), u"a\u8868");

  EXPECT_FALSE(lzhnames::Utf16ToUtf8(u"a\xD800", utf8));  // lone high surrogate
  EXPECT_FALSE(
      lzhnames::Utf16ToUtf8(u"\xDC00"
                            u"a",
                            utf8));  // lone low surrogate
  for (const char* bad :
       {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE8\xA1"})
    EXPECT_FALSE(lzhnames::IsUtf8(bad) || lzhnames::Utf8ToUtf16(bad, back)) << bad;
  EXPECT_FALSE(lzhnames::IsShiftJis("\x95"));      // lead byte at the end
  EXPECT_FALSE(lzhnames::IsShiftJis("\x95\x7F"));  // 0x7F is no trail byte
  EXPECT_FALSE(lzhnames::IsShiftJis("\xA0"));
}

}  // namespace
