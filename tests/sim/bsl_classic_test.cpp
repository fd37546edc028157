// The classic boot loader, driven with hand-built frames.
#include <gtest/gtest.h>

#include "sim/firmware_check.h"
#include "sim_bench.h"

namespace sim::test {
namespace {

constexpr Bytes::value_type kAck = 0x90;
constexpr Bytes::value_type kNak = 0xA0;

// The password of an image whose vector table is erased except the reset vector.
Bytes Password(std::uint16_t resetVector) {
  Bytes password(30, 0xFF);
  password.push_back(static_cast<std::uint8_t>(resetVector));
  password.push_back(static_cast<std::uint8_t>(resetVector >> 8));
  return password;
}

class ClassicBslTest : public ::testing::Test {
 protected:
  explicit ClassicBslTest(std::string_view part = "f1611") : bench_(Config(part)) {}

  static InstrumentConfig Config(std::string_view part) {
    InstrumentConfig config = Bench::Preset("msp430-classic", {"running=bootloader"});
    EXPECT_EQ(ApplySetting(config, "part=" + std::string(part)), "");
    return config;
  }

  Bytes Command(std::uint8_t cmd, std::uint16_t address, std::uint16_t length, const Bytes& data = {}) {
    return bench_.ClassicCommand(ClassicFrame(cmd, address, length, data));
  }
  Bytes Unlock() { return Command(0x10, 0, 0, Password(0x4000)); }
  Bytes Read(std::uint16_t address, std::uint16_t count) {
    const Bytes frame = Command(0x14, address, count);
    return frame.size() > 6 ? Bytes(frame.begin() + 4, frame.end() - 2) : frame;
  }
  const FlashModel& Flash() { return bench_.Device().Memory(0); }

  Bench bench_;
};

TEST_F(ClassicBslTest, EveryFrameNeedsASyncFirst) {
  const Bytes frame = ClassicFrame(0x1E, 0x5858, 0x5858);
  // Without a sync the header byte is taken as one, and the command byte is refused.
  EXPECT_EQ(bench_.Exchange(frame), (Bytes{kAck, kNak}));
  EXPECT_EQ(bench_.ClassicCommand(frame).size(), 22u);
}

TEST_F(ClassicBslTest, VersionFrameCarriesChipIdentificationAndVersion) {
  const Bytes reply = bench_.ClassicCommand({0x80, 0x1E, 0x04, 0x04, 0x58, 0x58, 0x58, 0x58, 0x7B, 0xE5});
  ASSERT_EQ(reply.size(), 22u);
  EXPECT_EQ(reply[2], 16);
  EXPECT_EQ(reply[4], 0xF1);
  EXPECT_EQ(reply[5], 0x6C);
  EXPECT_EQ(reply[14], 0x01);
  EXPECT_EQ(reply[15], 0x60);
  EXPECT_EQ(ClassicChecksum(std::span(reply).first(20)), reply[20] | (reply[21] << 8));
}

TEST_F(ClassicBslTest, BadChecksumOrLengthIsRefused) {
  Bytes frame = ClassicFrame(0x1E, 0x5858, 0x5858);
  frame.back() ^= 1;
  EXPECT_EQ(bench_.ClassicCommand(frame), Bytes{kNak});
  EXPECT_EQ(bench_.ClassicCommand({0x80, 0x12, 0x05, 0x05}), Bytes{kNak});
  EXPECT_EQ(bench_.Device().Status().counters.badFrames, 2u);
}

TEST_F(ClassicBslTest, PasswordIsTheVectorTable) {
  EXPECT_EQ(Command(0x14, 0x4000, 2), Bytes{kNak});  // locked
  EXPECT_EQ(Command(0x10, 0, 0, Password(0x0C04)), Bytes{kNak});
  EXPECT_EQ(Unlock(), Bytes{kAck});
  EXPECT_EQ(Read(0x4000, 2), (Bytes{0x31, 0x40}));
}

TEST_F(ClassicBslTest, ProgrammingUnerasedFlashFailsAndErasedFlashTakesTheData) {
  ASSERT_EQ(Unlock(), Bytes{kAck});
  const Bytes data{0x12, 0x34, 0x56, 0x78};
  EXPECT_EQ(Command(0x12, 0x4000, 4, data), Bytes{kNak});  // 1.60 reads each word back
  EXPECT_NE(Read(0x4000, 4), data);
  EXPECT_EQ(Command(0x16, 0x4000, 0xA502), Bytes{kAck});
  EXPECT_EQ(Read(0x4000, 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Command(0x12, 0x4000, 4, data), Bytes{kAck});
  EXPECT_EQ(Read(0x4000, 4), data);
  EXPECT_EQ(bench_.Device().Status().counters.erases, 1u);
}

TEST_F(ClassicBslTest, EraseNeedsTheKeyAndOddBlocksAreRefused) {
  ASSERT_EQ(Unlock(), Bytes{kAck});
  EXPECT_EQ(Command(0x16, 0x4000, 0x0002), Bytes{kNak});
  EXPECT_EQ(Command(0x12, 0x4001, 2, {0, 0}), Bytes{kNak});
  EXPECT_EQ(Flash().ReadWord(0x4000), 0x4031);
}

TEST_F(ClassicBslTest, BaudChangeIsAcknowledgedAtTheOldRate) {
  ASSERT_EQ(Unlock(), Bytes{kAck});
  EXPECT_EQ(Command(0x20, 0x87E0, 0x5802), Bytes{kAck});  // D1 D2 = E0 87: the 1xx clock for 38400
  EXPECT_EQ(bench_.Device().Line().baud, 38400u);
  EXPECT_NE(bench_.Exchange(Bytes{0x80}, LineSettings{9600, 1, true}), Bytes{kAck});
  EXPECT_EQ(bench_.Exchange(Bytes{0x80}, LineSettings{38400, 1, true}), Bytes{kAck});
}

// The f1611 set to the 4xx family's clock: the acknowledgement still leaves at
// the old rate, then its UART runs at a rate no side can meet.
TEST_F(ClassicBslTest, BaudChangeWithAnotherFamilysClockGarblesTheLine) {
  ASSERT_EQ(Unlock(), Bytes{kAck});
  EXPECT_EQ(Command(0x20, 0xC800, 0x5802), Bytes{kAck});
  for (const std::uint32_t rate : {9600u, 19200u, 38400u}) {
    EXPECT_NE(bench_.Exchange(Bytes{0x80}, LineSettings{rate, 1, true}), Bytes{kAck}) << rate;
  }
}

TEST_F(ClassicBslTest, LoadPcIntoTheBootLoaderRestartsItLocked) {
  ASSERT_EQ(Unlock(), Bytes{kAck});
  EXPECT_EQ(Command(0x1A, 0x0C22, 0x5858), Bytes{kAck});
  EXPECT_EQ(Command(0x14, 0x4000, 2), Bytes{kNak});
  EXPECT_EQ(bench_.Device().Status().loadPc, 0x0C22);
}

TEST_F(ClassicBslTest, LoadPcStartsTheFirmwareWhichReportsItsVersion) {
  ASSERT_EQ(Unlock(), Bytes{kAck});
  // An erased start word: the processor resets and runs from the reset vector.
  EXPECT_EQ(Command(0x1A, 0xFFFF, 0x5858), Bytes{kAck});
  EXPECT_EQ(bench_.RunFor(3000), ToBytes("Firmware 1.10\r\n!\r\n"));
  EXPECT_TRUE(bench_.Device().Status().firmwareRunning);
  EXPECT_EQ(bench_.Text("A.2001\r\n"), "I.21#1.10\r\n");
}

TEST_F(ClassicBslTest, AnInstrumentWithoutValidFirmwareStaysInItsBootLoader) {
  ASSERT_EQ(Unlock(), Bytes{kAck});
  ASSERT_EQ(Command(0x16, 0x1080, 0xA502), Bytes{kAck});  // the version text is gone
  EXPECT_EQ(Command(0x1A, 0x4000, 0x5858), Bytes{kAck});
  EXPECT_EQ(bench_.RunFor(5000), Bytes{});
  EXPECT_FALSE(bench_.Device().Status().firmwareRunning);
  EXPECT_EQ(bench_.Exchange(Bytes{0x80}), Bytes{kAck});
}

class ClassicBsl110Test : public ClassicBslTest {
 protected:
  ClassicBsl110Test() : ClassicBslTest("f149") {}
};

TEST_F(ClassicBsl110Test, HasNoVersionCommandAndReadsFlashWronglyUnlessPatched) {
  EXPECT_EQ(bench_.ClassicCommand(ClassicFrame(0x1E, 0x5858, 0x5858)), Bytes{kNak});
  ASSERT_EQ(Unlock(), Bytes{kAck});
  const Bytes identity = Read(0x0FF0, 14);
  EXPECT_EQ(identity[0], 0xF1);
  EXPECT_EQ(identity[10], 0x01);
  EXPECT_EQ(identity[11], 0x10);

  const Bytes truth = Flash().Read(0x4000, 16);
  EXPECT_NE(Read(0x4000, 16), truth);
  const Bytes patch{0x31, 0x40, 0x00, 0x0A};
  ASSERT_EQ(Command(0x12, 0x0220, 4, patch), Bytes{kAck});
  EXPECT_EQ(Read(0x0220, 4), patch);  // RAM reads fine
  ASSERT_EQ(Command(0x1A, 0x0220, 0x5858), Bytes{kAck});
  EXPECT_EQ(Read(0x4000, 16), truth);
  EXPECT_NE(Read(0x4000, 16), truth) << "the patch corrects one command only";
}

TEST_F(ClassicBsl110Test, RefusesCodeOverTheLoadersOwnRam) {
  ASSERT_EQ(Unlock(), Bytes{kAck});
  EXPECT_EQ(Command(0x12, 0x0200, 2, {0, 0}), Bytes{kNak});
}

TEST(ClassicBsl2x, WrongPasswordErasesTheFlash) {
  Bench bench(Bench::Preset("msp430-classic", {"running=bootloader", "part=f2618"}));
  EXPECT_EQ(bench.ClassicCommand(ClassicFrame(0x10, 0, 0, Password(0x1234))), Bytes{kNak});
  EXPECT_EQ(bench.Device().Memory(0).ReadWord(0x4000), 0xFFFF);
  EXPECT_FALSE(ReadFirmwareVersion(bench.Device().Memory(0), 0x1080).has_value() &&
               ResetEntry(bench.Device().Memory(0)).has_value());
}

struct FaultCase {
  const char* fault;
  std::uint8_t command;
  std::uint16_t address;
  std::uint16_t length;
  Bytes data;
  Bytes expected;
};

class ClassicBslFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ClassicBslFaults, DoWhatTheySay) {
  FaultPlan faults;
  faults.Add(*ParseFault(GetParam().fault));
  Bench bench(Bench::Preset("msp430-classic", {"running=bootloader"}), std::move(faults));
  ASSERT_EQ(bench.ClassicCommand(ClassicFrame(0x10, 0, 0, Password(0x4000))), Bytes{kAck});
  const Bytes reply = bench.ClassicCommand(
      ClassicFrame(GetParam().command, GetParam().address, GetParam().length, GetParam().data));
  EXPECT_EQ(reply, GetParam().expected) << GetParam().fault;
}

Bytes ReadFrame(const Bytes& data, bool badSum) {
  Bytes frame{0x80, 0x00, static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(data.size())};
  frame.insert(frame.end(), data.begin(), data.end());
  std::uint16_t sum = ClassicChecksum(frame);
  if (badSum) sum ^= 0x00FF;
  frame.push_back(static_cast<std::uint8_t>(sum));
  frame.push_back(static_cast<std::uint8_t>(sum >> 8));
  return frame;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ClassicBslFaults,
    ::testing::Values(FaultCase{"nak:erase", 0x16, 0x4000, 0xA502, {}, {kNak}},
                      FaultCase{"garbage:erase", 0x16, 0x4000, 0xA502, {}, GarbageBytes(4)},
                      FaultCase{"silence:tx", 0x14, 0x4000, 4, {}, {}}));

TEST(ClassicBslFault, CorruptReadBackKeepsAValidChecksumAndBadSumBreaksIt) {
  FaultPlan faults;
  faults.Add(*ParseFault("corrupt:tx"));
  faults.Add(*ParseFault("badsum:tx@2"));
  Bench bench(Bench::Preset("msp430-classic", {"running=bootloader"}), std::move(faults));
  ASSERT_EQ(bench.ClassicCommand(ClassicFrame(0x10, 0, 0, Password(0x4000))), Bytes{kAck});
  const Bytes truth = bench.Device().Memory(0).Read(0x4000, 4);
  Bytes flipped = truth;
  flipped[2] ^= 0x01;
  EXPECT_EQ(bench.ClassicCommand(ClassicFrame(0x14, 0x4000, 4)), ReadFrame(flipped, false));
  EXPECT_EQ(bench.ClassicCommand(ClassicFrame(0x14, 0x4000, 4)), ReadFrame(truth, true));
  EXPECT_EQ(bench.ClassicCommand(ClassicFrame(0x14, 0x4000, 4)), ReadFrame(truth, false));
}

TEST(ClassicBslFault, LostAcknowledgementStillErases) {
  FaultPlan faults;
  faults.Add(*ParseFault("noack:erase"));
  Bench bench(Bench::Preset("msp430-classic", {"running=bootloader"}), std::move(faults));
  ASSERT_EQ(bench.ClassicCommand(ClassicFrame(0x10, 0, 0, Password(0x4000))), Bytes{kAck});
  EXPECT_EQ(bench.ClassicCommand(ClassicFrame(0x16, 0x4000, 0xA502)), Bytes{});
  EXPECT_EQ(bench.Device().Memory(0).ReadWord(0x4000), 0xFFFF);
}

}  // namespace
}  // namespace sim::test
