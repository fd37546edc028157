// What the stand-in tools read: UPDATER_PORTS and the firmware files.
#include <gtest/gtest.h>

#include "sim/standins/firmware_file.h"
#include "sim/standins/tool_line.h"

namespace standin {
namespace {

TEST(ComPortPath, TakesTheNthPathOfTheList) {
  struct Case {
    const char* ports;
    int com;
    const char* path;
  };
  for (const Case& c :
       {Case{"/dev/ttyUSB0,/dev/pts/3", 2, "/dev/pts/3"},
        Case{"/dev/ttyUSB0:/dev/pts/3", 1, "/dev/ttyUSB0"}, Case{" /dev/a , /dev/b ", 2, "/dev/b"},
        Case{"/dev/a,,/dev/c", 2, ""}, Case{"/dev/a,,/dev/c", 3, "/dev/c"}, Case{"/dev/a", 2, ""},
        Case{"/dev/a", 0, ""}, Case{nullptr, 1, ""}}) {
    EXPECT_EQ(ComPortPath(c.ports, c.com), c.path)
        << (c.ports ? c.ports : "(unset)") << " COM" << c.com;
  }
}

TEST(ParseSRecords, JoinsContiguousRecordsAndEndsAtTheEndRecord) {
  std::string error;
  const auto blocks = ParseSRecords(
      "S00D0000696E737472756D656E7499\r\nS1054000AABB55\r\nS1054002CCDD0F\nS105FFFE1040AD\r\nS90300"
      "00FC\r\n"
      "S1054000AABB55\r\n",
      error);
  ASSERT_TRUE(blocks) << error;
  ASSERT_EQ(blocks->size(), 2u);
  EXPECT_EQ((*blocks)[0].address, 0x4000u);
  EXPECT_EQ((*blocks)[0].data, (std::vector<std::uint8_t>{0xAA, 0xBB, 0xCC, 0xDD}));
  EXPECT_EQ((*blocks)[1].address, 0xFFFEu);
}

TEST(ParseSRecords, RefusesMalformedFiles) {
  for (const char* text :
       {"S1054000AABB56\r\n", "S1054000AABB5\r\n", "S10540G0AABB55\r\n", "S4054000AABB55\r\n",
        "X1054000AABB55\r\n", "S1064000AABB54\r\n", "S9030000FC\r\n", ""}) {
    std::string error;
    EXPECT_FALSE(ParseSRecords(text, error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

TEST(ParseIntelHex, AppliesExtendedAddressesAndKeepsEveryRecord) {
  std::string error;
  const auto file =
      ParseIntelHex(":020000040001F9\r\n:04400000312E30002D\r\n:00000001FF\r\n", error);
  ASSERT_TRUE(file) << error;
  EXPECT_EQ(file->records.size(), 3u);
  EXPECT_EQ(file->records[1], (HexRecord{0x04, 0x40, 0x00, 0x00, 0x31, 0x2E, 0x30, 0x00, 0x2D}));
  ASSERT_EQ(file->blocks.size(), 1u);
  EXPECT_EQ(file->blocks[0].address, 0x14000u);
}

TEST(ParseIntelHex, RefusesMalformedFiles) {
  for (const char* text : {":04400000312E30002E\r\n:00000001FF\r\n", ":04400000312E30002D\r\n",
                           ":04400006312E300027\r\n:00000001FF\r\n",
                           "04400000312E30002D\r\n:00000001FF\r\n", ":00000001FF\r\n"}) {
    std::string error;
    EXPECT_FALSE(ParseIntelHex(text, error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

}  // namespace
}  // namespace standin
