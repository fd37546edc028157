// The WinCE instrument's data frames: the check character, what makes a frame
// sound, and the faults injected on frames.
#include <gtest/gtest.h>

#include "wince_bench.h"

namespace sim::test {
namespace {

// The single byte whose CRC-8 is `crc` (one byte maps one to one onto its CRC).
std::uint8_t ByteWithCrc(std::uint8_t crc) {
  for (int b = 0; b < 256; ++b) {
    const Bytes data{static_cast<std::uint8_t>(b)};
    if (WinceCrc8(data) == crc) return static_cast<std::uint8_t>(b);
  }
  ADD_FAILURE() << "no byte has CRC " << int{crc};
  return 0;
}

struct CheckCase {
  const char* name;
  Bytes data;
  std::uint8_t expected;
};

class WinceCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(WinceCheck, KnownAnswers) {
  EXPECT_EQ(WinceCheckCharacter(GetParam().data), GetParam().expected) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, WinceCheck,
    ::testing::Values(CheckCase{"abc", ToBytes("abc"), 0x65},
                      CheckCase{"CRC 0x44 (\"D\") moves to \"E\"", {ByteWithCrc(0x44)}, 'E'},
                      CheckCase{"CRC 0x2C (\",\") moves to \"-\"", {ByteWithCrc(0x2C)}, '-'},
                      CheckCase{"CRC 0x23 (\"#\") moves to \"$\"", {ByteWithCrc(0x23)}, '$'},
                      CheckCase{"CRC 0x00 becomes 0x01", {ByteWithCrc(0x00)}, 0x01},
                      CheckCase{"CRC 0x0D (carriage return) stays", {ByteWithCrc(0x0D)}, 0x0D},
                      CheckCase{"CRC 0x45 itself stays", {ByteWithCrc(0x45)}, 0x45}));

TEST(WinceCheck, Crc8CheckValue) { EXPECT_EQ(WinceCrc8(ToBytes("123456789")), 0xB4); }

// A bench with a file of 10 bytes open.
std::unique_ptr<Bench> OpenFile(FaultPlan faults = {},
                                std::initializer_list<std::string_view> settings = {}) {
  auto bench = std::make_unique<Bench>(Bench::Preset("wince", settings), std::move(faults));
  EXPECT_EQ(bench->Text(WinceHeader("APP.EXE", 0, 10)), "!\r\n");
  return bench;
}

Bytes WithCheck(std::string_view head, std::uint8_t check, const Bytes& data) {
  Bytes frame = ToBytes(head);
  frame.push_back(check);
  frame.push_back('#');
  frame.insert(frame.end(), data.begin(), data.end());
  return frame;
}

struct FrameCase {
  const char* name;
  Bytes frame;
  const char* answer;
};

class WinceFrames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(WinceFrames, AreJudgedStrictly) {
  const auto opened = OpenFile();
  Bench& bench = *opened;
  EXPECT_EQ(AsText(bench.Exchange(GetParam().frame)), GetParam().answer) << GetParam().name;
  // Whatever happened, a sound frame is taken afterwards.
  EXPECT_EQ(AsText(bench.Exchange(WinceFrame(Pattern(4)))), "!\r\n") << GetParam().name;
}

const Bytes kAbc = ToBytes("abc");

INSTANTIATE_TEST_SUITE_P(
    Table, WinceFrames,
    ::testing::Values(
        FrameCase{"sound", WinceFrame(kAbc), "!\r\n"},
        FrameCase{"check character of other data", WithCheck("D.3,", 0x66, kAbc), "I.261#2\r\n"},
        FrameCase{"CRC 0x44 sent unmoved", WithCheck("D.1,", 0x44, {ByteWithCrc(0x44)}),
                  "I.261#2\r\n"},
        FrameCase{"length 0", WithCheck("D.0,", 0x01, {}), "I.261#2\r\n"},
        FrameCase{"length 2001",
                  WithCheck("D.2001,", WinceCheckCharacter(Pattern(2001)), Pattern(2001)),
                  "I.261#2\r\n"},
        FrameCase{"length with a leading zero", WithCheck("D.03,", 0x65, kAbc), "I.261#2\r\n"},
        FrameCase{"no dot after D", WithCheck("D,3,", 0x65, kAbc), "I.261#2\r\n"},
        FrameCase{"no length", WithCheck("D.,", 0x65, kAbc), "I.261#2\r\n"},
        FrameCase{"five length digits", WithCheck("D.00003,", 0x65, kAbc), "I.261#2\r\n"},
        FrameCase{"no # after the check character", ToBytes("D.3,e!abc"), "I.261#2\r\n"}));

TEST(WinceFrames, TakeExactlyTheAnnouncedBytes) {
  const auto opened = OpenFile();
  Bench& bench = *opened;
  // Three bytes announced, six sent: the frame takes three, the rest is noise
  // that the instrument drops until the next frame begins.
  Bytes overlong = WinceFrame(kAbc);
  for (const char c : std::string_view("xyz")) overlong.push_back(static_cast<std::uint8_t>(c));
  EXPECT_EQ(AsText(bench.Exchange(overlong)), "!\r\n");
  EXPECT_EQ(AsText(bench.Exchange(WinceFrame(Pattern(7)))), "!\r\n");
  // Ten bytes were announced and ten taken: the file is complete without "xyz".
  EXPECT_EQ(bench.Text("A.1202\r\n"), "!\r\n");
  Bytes expected = kAbc;
  const Bytes rest = Pattern(7);
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(bench.Device().Status().winceFiles.at(0).data, expected);
  // A frame that stops short waits for its bytes: nothing is answered.
  EXPECT_EQ(bench.Text(WinceHeader("B.DAT", 0, 3)), "!\r\n");
  EXPECT_TRUE(bench.Exchange(Bytes{'D', '.', '3', ',', 0x65, '#', 'a', 'b'}).empty());
}

TEST(WinceFrames, BytesLeftBehindDoNotSwallowTheEndOfTheFile) {
  const auto opened = OpenFile();
  Bench& bench = *opened;
  Bytes overlong = WinceFrame(kAbc);
  for (const char c : std::string_view("xyz")) overlong.push_back(static_cast<std::uint8_t>(c));
  EXPECT_EQ(AsText(bench.Exchange(overlong)), "!\r\n");
  EXPECT_EQ(bench.Text("A.1202\r\n"), "I.261#1\r\n") << "three of ten bytes";
  EXPECT_EQ(bench.Device().Status().counters.badFrames, 1u);
}

TEST(WinceFrames, OutsideAFileOrPastItsSizeTheFileIsGivenUp) {
  Bench bench(Bench::Preset("wince"));
  EXPECT_EQ(AsText(bench.Exchange(WinceFrame(kAbc))), "I.261#1\r\n") << "no header before";
  EXPECT_EQ(bench.Text(WinceHeader("APP.EXE", 0, 4)), "!\r\n");
  EXPECT_EQ(AsText(bench.Exchange(WinceFrame(kAbc))), "!\r\n");
  EXPECT_EQ(AsText(bench.Exchange(WinceFrame(kAbc))), "I.261#1\r\n") << "six bytes of four";
  EXPECT_EQ(bench.Device().Status().winceFiles.at(0).status, WinceFile::Status::kRefused);
  EXPECT_EQ(bench.Text("A.1202\r\n"), "?\r\n") << "nothing open any more";
}

struct FaultCase {
  const char* rule;
  const char* answer;  // to the second frame
  bool taken;          // its bytes are in the file
};

class WinceFrameFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(WinceFrameFaults, HitTheNamedFrame) {
  FaultPlan faults;
  faults.Add(*ParseFault(GetParam().rule));
  const auto opened = OpenFile(std::move(faults), {"reject_text=E7"});
  Bench& bench = *opened;
  EXPECT_EQ(AsText(bench.Exchange(WinceFrame(ToBytes("12345")))), "!\r\n");
  const std::string answer = AsText(bench.Exchange(WinceFrame(ToBytes("67890"))));
  if (std::string_view(GetParam().answer) == "noise") {
    EXPECT_FALSE(answer.empty());
    EXPECT_EQ(answer.find_first_of("!?#\r\n"), std::string::npos) << answer;
  } else {
    EXPECT_EQ(answer, GetParam().answer) << GetParam().rule;
  }
  const WinceFile& file = bench.Device().Status().winceFiles.at(0);
  EXPECT_EQ(file.data.size(), GetParam().taken ? 10u : 5u) << GetParam().rule;
}

INSTANTIATE_TEST_SUITE_P(Table, WinceFrameFaults,
                         ::testing::Values(FaultCase{"nak:frame@2", "I.261#2\r\n", false},
                                           FaultCase{"corrupt:frame@2", "I.261#2\r\n", false},
                                           FaultCase{"refuse:frame@2", "I.261#E7\r\n", false},
                                           FaultCase{"garbage:frame@2", "noise", false},
                                           FaultCase{"silence:frame@2", "", false},
                                           FaultCase{"noack:frame@2", "", true}));

TEST(WinceFrameFaults, AResentBlockCompletesTheFileExactly) {
  FaultPlan faults;
  faults.Add(*ParseFault("corrupt:frame@2"));
  const auto opened = OpenFile(std::move(faults));
  Bench& bench = *opened;
  EXPECT_EQ(AsText(bench.Exchange(WinceFrame(ToBytes("12345")))), "!\r\n");
  const Bytes second = WinceFrame(ToBytes("67890"));
  EXPECT_EQ(AsText(bench.Exchange(second)), "I.261#2\r\n");
  EXPECT_EQ(AsText(bench.Exchange(second)), "!\r\n");
  EXPECT_EQ(bench.Text("A.1202\r\n"), "!\r\n");
  EXPECT_EQ(AsText(bench.Device().Status().winceFiles.at(0).data), "1234567890");
  EXPECT_EQ(bench.Device().Status().counters.naks, 1u);
}

}  // namespace
}  // namespace sim::test
