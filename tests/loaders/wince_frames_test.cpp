// The WinCE transfer's wire texts: the check character, the data frame, the
// file header, the rate command, the DOS stamp and the reading of reply 261,
// as known-answer tables.
#include "loaders/wince_frames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace loaders::wince {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST(WinCECheck, CrcOfTheCheckString) { EXPECT_EQ(Crc8(Bytes("123456789")), 0xB4); }

TEST(WinCECheck, CheckCharacterKeepsClearOfTheFraming) {
  struct Case {
    std::vector<std::uint8_t> data;
    std::uint8_t crc;
    std::uint8_t check;
  };
  const Case cases[] = {
      {Bytes("abc"), 0x65, 0x65},  // "e": no framing character, unchanged
      {{0x8E}, 0x44, 0x45},        // "D" becomes "E"
      {{0x08}, 0x2C, 0x2D},        // "," becomes "-"
      {{0xCA}, 0x23, 0x24},        // "#" becomes "$"
      {{0xFF}, 0x00, 0x01},        // zero becomes 1
      {{0x26}, 0x0D, 0x0D},        // carriage return stays
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.data));
    EXPECT_EQ(Crc8(c.data), c.crc);
    EXPECT_EQ(CheckCharacter(c.data), c.check);
  }
}

TEST(WinCEFrame, PrefixLengthCheckAndDataUnchanged) {
  std::uint8_t out[kMaxFrame];
  const std::size_t n = BuildDataFrame(Bytes("abc"), out);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(out), n), "D.3,e#abc");

  std::vector<std::uint8_t> full(kBlockBytes, 0x8E);
  full[0] = 0x00;
  const std::size_t fullLength = BuildDataFrame(full, out);
  ASSERT_EQ(fullLength, kMaxFrame);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(out), 7), "D.2000,");
  EXPECT_EQ(out[7], CheckCharacter(full));
  EXPECT_EQ(out[8], '#');
  EXPECT_EQ(std::vector<std::uint8_t>(out + 9, out + fullLength), full);

  // No frame for an empty block or one beyond the frame's length.
  EXPECT_EQ(BuildDataFrame({}, out), 0u);
  EXPECT_EQ(BuildDataFrame(std::vector<std::uint8_t>(kBlockBytes + 1), out), 0u);
}

TEST(WinCEHeader, OverwritingFormByForceOrAnOldStartUpProgram) {
  struct Case {
    bool force;
    std::int32_t thirdVersion;
    const char* expected;
  };
  const Case cases[] = {
      {false, 106, "A.1201#MAIN.EXE,1483695549,4500\r\n"},
      {false, 2000, "A.1201#MAIN.EXE,1483695549,4500\r\n"},
      {false, 105, "A.1205#MAIN.EXE,1483695549,4500\r\n"},
      {false, 0, "A.1205#MAIN.EXE,1483695549,4500\r\n"},  // no start-up program version known
      {true, 2000, "A.1205#MAIN.EXE,1483695549,4500\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(HeaderCommand("MAIN.EXE", 1483695549u, 4500, c.force, c.thirdVersion).view(),
              c.expected);
  }
}

TEST(WinCEHeader, ALongNameIsCutButTheLineEndStays) {
  const std::string name(400, 'N');
  const CommandText header = HeaderCommand(name, 1, 2, false, 200);
  EXPECT_EQ(header.size(), CommandText::kCapacity);
  EXPECT_EQ(header.view().substr(header.size() - 6), ",1,2\r\n");
}

TEST(WinCERate, EveryLineCodeHasItsRate) {
  struct Case {
    serial::BaudTag baud;
    const char* expected;
  };
  const Case cases[] = {
      {serial::B__1200, "A.1300#1200\r\n"},       {serial::B__4800, "A.1300#4800\r\n"},
      {serial::B__9600, "A.1300#9600\r\n"},       {serial::B_38400, "A.1300#38400\r\n"},
      {serial::kBaud115200, "A.1300#115200\r\n"}, {serial::B128000, "A.1300#128000\r\n"},
      {serial::B256000, "A.1300#256000\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(RateCommand(c.baud).view(), c.expected);
}

TEST(WinCEStamp, PackedDosDateAndTime) {
  struct Case {
    int year, month, day, hour, minute, second;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {2024, 3, 15, 13, 45, 58, (44u << 9 | 3 << 5 | 15) << 16 | (13u << 11 | 45 << 5 | 29)},
      {2024, 3, 15, 13, 45, 59,
       (44u << 9 | 3 << 5 | 15) << 16 | (13u << 11 | 45 << 5 | 29)},  // two-second steps
      {1980, 1, 1, 0, 0, 0, (1u << 5 | 1) << 16},
      {1975, 6, 1, 12, 0, 0, (1u << 5 | 1) << 16},  // before the DOS epoch
      {2110, 6, 1, 12, 0, 0, (127u << 9 | 12 << 5 | 31) << 16 | (23u << 11 | 59 << 5 | 29)},
  };
  for (const Case& c : cases) {
    std::tm local{};
    local.tm_year = c.year - 1900;
    local.tm_mon = c.month - 1;
    local.tm_mday = c.day;
    local.tm_hour = c.hour;
    local.tm_min = c.minute;
    local.tm_sec = c.second;
    EXPECT_EQ(DosDateTime(local), c.expected) << c.year << "-" << c.month << "-" << c.day;
  }
}

// Only the number 2 asks for the block again; anything else, a garbled text
// included, gives the file up.
TEST(WinCEReply, OnlyTheNumberTwoAsksForAResend) {
  struct Case {
    const char* reply;
    bool resend;
  };
  const Case cases[] = {
      {"2", true},
      {" 2", true},
      {"2  ", true},
      {"02", true},
      {"1", false},
      {"", false},
      {"2x", false},
      {"22", false},
      {"-2", false},
      {"2\t", false},
      {"99999999999999999999", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(AsksForResend(c.reply), c.resend) << "\"" << c.reply << "\"";
}

}  // namespace
}  // namespace loaders::wince
