// Finding the offered version in firmware files: the four reading modes and
// the rule that decides which version a lookup sets.
#include <gtest/gtest.h>

#include <string>

#include "updater/workflow/offered_version.h"

namespace updater {
namespace {

using namespace std::string_literals;

std::string Utf16(std::string_view text) {
  std::string out;
  for (char c : text) out += std::string{c, '\0'};
  return out;
}

TEST(VersionReadMode, FromMarkerAndName) {
  EXPECT_EQ(VersionReadModeOf("@F000\r\n", "MAIN.TXT"), VR_HEAD);
  EXPECT_EQ(VersionReadModeOf("S1094000", "MAIN.MOT"), VR_SRECORD);
  EXPECT_EQ(VersionReadModeOf("FileVersion", "TOOL.EXE"), VR_PROGRAM);
  EXPECT_EQ(VersionReadModeOf("FileVersion", "LIB.DLL"), VR_PROGRAM);
  EXPECT_EQ(VersionReadModeOf("VER", "IMAGE.BIN"), VR_BINARY);
  EXPECT_EQ(VersionReadModeOf("S1094000", "TOOL.EXE"), 3);
}

TEST(FindVersionText, EachModeReadsItsLayout) {
  struct Case {
    const char* name;
    std::int32_t mode;
    std::string marker;
    std::string content;
    std::string version;
  };
  const std::string padding(2000, 'x');
  const Case cases[] = {
      {"TI-TXT address line", VR_HEAD, "@F000\r\n", "@F000\r\n31 2E 33 34 00 FF\r\nq\r\n", "1.34"},
      {"TI-TXT version across a line end", VR_HEAD, "@F000\r\n", "@F000\r\n31 2E\r\n33 34 00\r\n", "1.34"},
      {"TI-TXT beyond the first 1000 bytes", VR_HEAD, "@F000\r\n", padding + "@F000\r\n31 00\r\n", ""},
      {"marker behind a zero byte", VR_HEAD, "@F000\r\n", "ab\0@F000\r\n31 00"s, ""},
      {"S-record tail", VR_SRECORD, "S1094000", padding + "S1094000312E30320000C3\r\nS9030000FC\r\n", "1.02"},
      {"S-record head only", VR_SRECORD, "S1094000", "S1094000312E3000\r\n" + padding, ""},
      {"hex ends at a non-hex character", VR_HEAD, "V=", "V=31 2E 3Z 00", "1."},
      {"16-bit string with blank", VR_PROGRAM, "FileVersion", Utf16("abc") + "\0\0"s + Utf16("FileVersion 2.05") + "\0\0"s,
       "2.05"},
      {"16-bit string without blank", VR_PROGRAM, "FileVersion",
       "\0\0"s + Utf16("FileVersion") + "\0\0"s + Utf16("xyz") + Utf16("3.10") + "\0\0"s, "3.10"},
      {"16-bit value missing at the end", VR_PROGRAM, "FileVersion", Utf16("FileVersion") + "\0\0"s, ""},
      {"binary image", VR_BINARY, "VER", "\x01\x02VER:4.56\0rest"s, "4.56"},
      {"binary image, 0xDD marker skips four", VR_BINARY, "\xDDV", "\0\0\xDDVabcd7.01\0"s, "7.01"},
      {"binary marker at the very end", VR_BINARY, "VER", "abcVER", ""},
      {"combined mode reads nothing", 3, "S1094000", "S1094000312E3000", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FindVersionText(c.mode, c.marker, c.content).view(), c.version) << c.name;
}

TEST(StoreOfferedVersion, FirstMainLookupSetsMainLaterOnesTheSecond) {
  DeviceRecord record;
  StoreOfferedVersion(VR_HEAD, "1.20", record);
  EXPECT_EQ(record.OfferedVersionText.view(), "1.20");
  EXPECT_EQ(record.OfferedVersion, 1200);
  StoreOfferedVersion(VR_BINARY, "2.50", record);
  EXPECT_EQ(record.OfferedVersion, 1200);
  EXPECT_EQ(record.SecondOfferedVersion, 2500);
  StoreOfferedVersion(3, "9.99", record);
  EXPECT_EQ(record.SecondOfferedVersion, 2500);

  DeviceRecord srecord;
  StoreOfferedVersion(VR_SRECORD, "1.02", srecord);
  EXPECT_TRUE(srecord.OfferedVersionText.empty());
  EXPECT_EQ(srecord.SecondOfferedVersion, 1020);

  DeviceRecord longText;
  StoreOfferedVersion(VR_HEAD, "1.2345678901234567890", longText);
  EXPECT_EQ(longText.OfferedVersionText.size(), 15u);  // cut to the field
}

}  // namespace
}  // namespace updater
