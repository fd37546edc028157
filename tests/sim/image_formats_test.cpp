// S-record and Intel HEX output of the image builder, checked against records
// worked out by hand.
#include "sim/image_formats.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

const MemoryImage kImage{{0x4000, {0x31, 0x2E, 0x30, 0x00}}, {0xFFFE, {0x10, 0x40}}};

TEST(ImageFormats, SRecordsCarryCountAddressDataAndOnesComplementSum) {
  EXPECT_EQ(ToSRecords(kImage),
            "S00D0000696E737472756D656E7499\r\n"  // "instrument"
            "S1074000312E300029\r\n"
            "S105FFFE1040AD\r\n"
            "S9030000FC\r\n");
  EXPECT_EQ(ToSRecords({{0x12345, {0xAB}}}),
            "S00D0000696E737472756D656E7499\r\nS205012345ABE6\r\nS804000000FB\r\n");
}

TEST(ImageFormats, IntelHexStartsEachPageWithItsLinearAddress) {
  EXPECT_EQ(ToIntelHex(kImage),
            ":020000040000FA\r\n"
            ":04400000312E30002D\r\n"
            ":02FFFE001040B1\r\n"
            ":00000001FF\r\n");
  // A run across a 64 KB boundary is cut there.
  EXPECT_EQ(
      ToIntelHex({{0xFFFF, {0x11, 0x22}}}),
      ":020000040000FA\r\n:01FFFF0011F0\r\n:020000040001F9\r\n:0100000022DD\r\n:00000001FF\r\n");
}

}  // namespace
}  // namespace sim
