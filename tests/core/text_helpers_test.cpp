#include "core/text_helpers.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/text_encoding.h"

namespace core {
namespace {

struct PosCase {
  const char* text;
  const char* pattern;
  int start;
  int expected;
};

TEST(StrPos, Table) {
  const PosCase cases[] = {
      {"XA.1A.2", "A.", 0, 2}, {"XA.1A.2", "A.", 1, 2}, {"XA.1A.2", "A.", 3, 5},
      {"XA.1A.2", "A.", 6, 0}, {"XA.1A.2", "", 0, 0},   {"", "A", 0, 0},
      {nullptr, "A", 0, 0},    {"ABC", "C", 3, 3},      {"ABC", "C", 4, 0},
      {"ABC", "C", 99, 0},     {"abc", "B", 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrPos(c.text, c.pattern, c.start), c.expected)
        << (c.text ? c.text : "null") << " / " << c.pattern << " from " << c.start;
  }
}

TEST(StrInsertDelete, EditInPlaceAndRefuseOutOfDomain) {
  char buf[8] = "XY";
  EXPECT_STREQ(StrInsert("abc", buf, sizeof buf, 1), "abcXY");
  std::strcpy(buf, "XY");
  EXPECT_STREQ(StrInsert("abc", buf, sizeof buf, 3), "XYabc");
  EXPECT_STREQ(StrInsert("abc", buf, sizeof buf, 9), "XYabc");  // beyond end + 1
  EXPECT_STREQ(StrInsert("abc", buf, sizeof buf, 1), "XYabc");  // would not fit in 8 bytes
  EXPECT_STREQ(StrInsert("ab", buf, sizeof buf, 6), "XYabcab");

  char name[16] = "DATEI.TXT";
  EXPECT_STREQ(StrDelete(name, 1, 5), ".TXT");
  EXPECT_STREQ(StrDelete(name, 3, 200), ".T");  // cut at the end
  EXPECT_STREQ(StrDelete(name, 3, 1), ".T");    // p beyond the end
  EXPECT_STREQ(StrDelete(name, 1, 256), ".T");  // count out of range
  EXPECT_STREQ(StrDelete(name, 0, 1), ".T");
}

TEST(HexToInt4, RightAlignedWeights) {
  EXPECT_EQ(HexToInt4("00FF"), 255);
  EXPECT_EQ(HexToInt4("1a"), 26);
  EXPECT_EQ(HexToInt4("7"), 7);
  EXPECT_EQ(HexToInt4("FFFF"), 65535);
  EXPECT_EQ(HexToInt4("12345"), -1);
  EXPECT_EQ(HexToInt4(""), -1);
  EXPECT_EQ(HexToInt4(nullptr), -1);
}

TEST(WideNarrow, LowByteRoundTripAndCut) {
  EXPECT_EQ(ToWide("\xF6")[0], u'\u00F6');
  const char16_t euro[] = {0x20AC, 0};
  EXPECT_STREQ(ToNarrow(euro), "\xAC");
  std::string longText(1500, 'x');
  const char16_t* wide = ToWide(longText.c_str());
  EXPECT_EQ(std::char_traits<char16_t>::length(wide), 999u);
  EXPECT_EQ(std::strlen(ToNarrow(wide)), 999u);
}

TEST(ReplaceAll, OnePassWithoutRescanning) {
  EXPECT_EQ(ReplaceAll("NAME an NAME", "NAME", "X"), "X an X");
  EXPECT_EQ(ReplaceAll("NAME", "NAME", "NAME NAME"), "NAME NAME");  // inserted text is not scanned again
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAll("", "a", "b"), "");
}

TEST(UpperAscii, OnlyAsciiLetters) {
  char name[] = "patch.txt \xE4";
  EXPECT_STREQ(UpperAscii(name), "PATCH.TXT \xE4");
}

TEST(Encoding, Cp1252ToUtf8) {
  EXPECT_EQ(Cp1252ToUtf8("Ger\xE4t \x80 \x9F"), "Ger\xC3\xA4t \xE2\x82\xAC \xC5\xB8");
  EXPECT_EQ(Cp1252ToUtf8("plain"), "plain");
}

TEST(Encoding, TextFilesDecodeUtf8OrKeepBytes) {
  EXPECT_EQ(DecodeTextFile("Ger\xC3\xA4t"), "Ger\xE4t");                // valid UTF-8
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"), "Gr\xFC\xDF");  // with BOM
  EXPECT_EQ(DecodeTextFile("Ger\xE4t"), "Ger\xE4t");                    // Windows-1252 stays
  EXPECT_EQ(DecodeTextFile("\xE2\x82\xAC"), "\xAC");                    // reduced to the low byte
  EXPECT_EQ(DecodeTextFile("abc\xC3"), "abc\xC3");                      // truncated sequence
}

}  // namespace
}  // namespace core
