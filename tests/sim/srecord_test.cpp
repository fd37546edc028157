// S-record lines: the strict parser, the formatter, and the files that
// instrument-image writes, read back by an independent tool (srec_cat).
#include "sim/srecord.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "sim/terminal_image.h"

namespace sim {
namespace {

TEST(SRecord, FormatsAsTheUsualToolsAndParsesBack) {
  const std::vector<std::uint8_t> data{0x31, 0x2E, 0x33, 0x30, 0x00, 0x00};
  EXPECT_EQ(FormatSRecord('1', 0x4000, data), "S1094000312E33300000F4\r\n");
  EXPECT_EQ(FormatSRecord('5', 4), "S5030004F8\r\n");  // as srec_cat writes it
  EXPECT_EQ(FormatSRecord('9', 0x4010), "S9034010AC\r\n");
  const auto record = ParseSRecord("S1094000312E33300000F4");
  ASSERT_TRUE(record);
  EXPECT_EQ(record->type, '1');
  EXPECT_EQ(record->address, 0x4000u);
  EXPECT_EQ(record->data, data);
  const auto lower = ParseSRecord("S3090008000001020304e4");  // hex digits in either case
  ASSERT_TRUE(lower);
  EXPECT_EQ(lower->address, 0x00080000u);
  EXPECT_EQ(lower->data, (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

TEST(SRecord, RefusesEveryMalformedLine) {
  for (const char* bad : {
           "",                          // nothing
           "S1",                        // no count
           "X1094000312E33300000F4",    // not a record
           "s1094000312E33300000F4",    // the record mark is an upper-case S
           "S4094000312E33300000F4",    // type 4 does not exist
           "S6094000312E33300000F4",    // 24-bit count: not taken
           "S1094000312E33300000F5",    // checksum
           "S10A4000312E33300000F4",    // count one too high
           "S1084000312E33300000F4",    // count one too low
           "S1094000312E33300000F",     // odd number of digits
           "S1094000312G33300000F4",    // not a hex digit
           "S1094000312E33300000F4 ",   // trailing blank
           "S0030001FB",                // header at an address other than 0
           "S5050004AABB91",            // record count with data
           "S9054010001199",            // end record with data
           "S9024010AD",                // end record too short for its address
       }) {
    EXPECT_FALSE(ParseSRecord(bad)) << bad;
  }
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The terminal file as srec_cat reads it: the code and the version where the
// image has them, every other byte of the 1 MB flash 0xFF.
TEST(TerminalFile, ReadsBackWithSrecCatAsTheImage) {
  if (std::system("srec_cat -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "srec_cat is not installed";
  const auto dir = std::filesystem::temp_directory_path() / ("srec-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (const int addressBytes : {3, 4}) {
    const TerminalImageSpec recipe{"1.30", 0x4010, 0x1234};
    std::ofstream(dir / "L3_TermH.A37", std::ios::binary) << TerminalSRecordFile(recipe, "L3_TermH.A37", addressBytes);
    const std::string command = "srec_cat -disable-sequence-warnings " + (dir / "L3_TermH.A37").string() +
                                " -motorola -fill 0xFF 0 0x100000 -o " + (dir / "flash.bin").string() + " -binary";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::string expected(0x100000, '\xFF');
    for (const ImageSegment& segment : BuildTerminalImage(recipe)) {
      expected.replace(segment.address, segment.data.size(), std::string(segment.data.begin(), segment.data.end()));
    }
    EXPECT_EQ(ReadAll(dir / "flash.bin"), expected) << addressBytes;
  }
  std::filesystem::remove_all(dir);
}

TEST(TerminalFile, HeaderDataRecordsOfThirtyTwoBytesVersionLastThenCountAndEnd) {
  const std::string text = TerminalSRecordFile({"1.30", 0x4010, 0x41}, "L3_TermL.A37", 3);
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  ASSERT_EQ(lines.size(), 7u) << text;
  EXPECT_EQ(lines[0] + "\r\n", FormatSRecord('0', 0, std::vector<std::uint8_t>{'L', '3', '_', 'T', 'e', 'r', 'm', 'L',
                                                                                  '.', 'A', '3', '7'}));
  EXPECT_TRUE(lines[1].starts_with("S224004010")) << lines[1];
  EXPECT_EQ(lines[1].size(), 76u);
  EXPECT_TRUE(lines[2].starts_with("S224004030")) << lines[2];
  EXPECT_TRUE(lines[3].starts_with("S205004050")) << "the last byte alone: " << lines[3];
  EXPECT_EQ(lines[4], "S1094000312E33300000F4");
  EXPECT_EQ(lines[5], "S5030004F8");
  EXPECT_EQ(lines[6], "S804004010AB");
}

}  // namespace
}  // namespace sim
