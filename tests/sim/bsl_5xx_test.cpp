// The 5xx/6xx boot loader, driven with hand-built frames.
#include <gtest/gtest.h>

#include "sim_bench.h"

namespace sim::test {
namespace {

constexpr std::uint8_t kAck = 0x00;

class Bsl5xxTest : public ::testing::Test {
 protected:
  explicit Bsl5xxTest(FaultPlan faults = {})
      : bench_(Bench::Preset("msp430-5xx", {"running=bootloader"}), std::move(faults)) {}

  // The vector table of the preset's image: erased, start word and reset vector 0x5C10.
  static Bytes Password() {
    Bytes password(28, 0xFF);
    for (int i = 0; i < 2; ++i) {
      password.push_back(0x10);
      password.push_back(0x5C);
    }
    return password;
  }
  Bytes Core(const Bytes& core) { return bench_.Exchange(Frame5xx(core)); }
  Bytes Unlock() {
    Bytes core{0x11};
    const Bytes password = Password();
    core.insert(core.end(), password.begin(), password.end());
    return Core(core);
  }
  static Bytes Response(const Bytes& core) {
    Bytes out{kAck};
    const Bytes frame = Frame5xx(core);
    out.insert(out.end(), frame.begin(), frame.end());
    return out;
  }
  static Bytes Message(std::uint8_t message) { return Response({0x3B, message}); }

  Bench bench_;
};

TEST_F(Bsl5xxTest, VersionFrameAnswersWithAcknowledgementAndData) {
  EXPECT_EQ(bench_.Exchange(Bytes{0x80, 0x01, 0x00, 0x19, 0xE8, 0x62}), Response({0x3A, 0x00, 0x07, 0x04, 0x05}));
}

TEST_F(Bsl5xxTest, BrokenFramesGetTheirErrorByte) {
  EXPECT_EQ(bench_.Exchange(ToBytes("\r")), Bytes{0x51});  // seen as "Q" by a text reader
  EXPECT_EQ(bench_.Exchange(Bytes{0x80, 0x01, 0x00, 0x19, 0xE8, 0x63}), Bytes{0x52});
  EXPECT_EQ(bench_.Exchange(Bytes{0x80, 0x00, 0x00}), Bytes{0x53});
  EXPECT_EQ(bench_.Exchange(Bytes{0x80, 0x85, 0x01}), Bytes{0x54});
}

TEST_F(Bsl5xxTest, CommandsNeedThePassword) {
  EXPECT_EQ(Core({0x18, 0x00, 0x5C, 0x00, 0x02, 0x00}), Message(0x04));
  EXPECT_EQ(Unlock(), Message(0x00));
  EXPECT_EQ(Core({0x18, 0x04, 0x1A, 0x00, 0x04, 0x00}), Response({0x3A, 0x38, 0x54, 0x10, 0x10}));
}

TEST_F(Bsl5xxTest, WrongPasswordMassErasesTheMainFlash) {
  Bytes core{0x11};
  core.insert(core.end(), 32, 0x00);
  EXPECT_EQ(Core(core), Message(0x05));
  const FlashModel& flash = bench_.Device().Memory(0);
  EXPECT_EQ(flash.ReadWord(0x5C00), 0xFFFF);
  EXPECT_EQ(flash.ReadWord(0xFFFE), 0xFFFF);
  // Now only an erased vector table is the password.
  EXPECT_EQ(Unlock(), Message(0x05));
}

TEST_F(Bsl5xxTest, ProgrammingNeedsAnErasedSegment) {
  ASSERT_EQ(Unlock(), Message(0x00));
  EXPECT_EQ(Core({0x10, 0x00, 0x5E, 0x00, 0x00, 0x11}), Message(0x01));
  EXPECT_EQ(Core({0x12, 0x00, 0x5E, 0x00}), Message(0x00));
  EXPECT_EQ(Core({0x10, 0x00, 0x5E, 0x00, 0x00, 0x11}), Message(0x00));
  EXPECT_EQ(Core({0x18, 0x00, 0x5E, 0x00, 0x04, 0x00}), Response({0x3A, 0x00, 0x11, 0xFF, 0xFF}));
}

TEST_F(Bsl5xxTest, BaudChangeAcknowledgesThenSwitches) {
  EXPECT_EQ(Core({0x52, 0x09}), Bytes{0x56});
  EXPECT_EQ(Core({0x52, 0x04}), Bytes{kAck});
  EXPECT_EQ(bench_.Device().Line().baud, 38400u);
}

TEST_F(Bsl5xxTest, LoadPcStartsTheFirmware) {
  ASSERT_EQ(Unlock(), Message(0x00));
  EXPECT_EQ(Core({0x17, 0x10, 0x5C, 0x00}), Bytes{kAck});
  EXPECT_EQ(bench_.RunFor(3000), ToBytes("Firmware 2.00\r\n!\r\n"));
  EXPECT_EQ(bench_.Device().Status().loadPc, 0x5C10);
}

TEST(Bsl5xxFaults, NakBadSumAndCorruptReadBack) {
  FaultPlan faults;
  faults.Add(*ParseFault("nak:version"));
  faults.Add(*ParseFault("badsum:version@2"));
  faults.Add(*ParseFault("corrupt:version@3"));
  Bench bench(Bench::Preset("msp430-5xx", {"running=bootloader"}), std::move(faults));
  const Bytes version = Frame5xx({0x19});
  EXPECT_EQ(bench.Exchange(version), Bytes{0x52});
  Bytes bad = bench.Exchange(version);
  ASSERT_EQ(bad.size(), 11u);
  EXPECT_NE(Crc16Ccitt(std::span(bad).subspan(4, 5)), bad[9] | (bad[10] << 8));
  Bytes corrupt = bench.Exchange(version);
  ASSERT_EQ(corrupt.size(), 11u);
  EXPECT_EQ(Crc16Ccitt(std::span(corrupt).subspan(4, 5)), corrupt[9] | (corrupt[10] << 8));
  EXPECT_NE(corrupt, bench.Exchange(version));
}

TEST(LabPreset, WaitsInItsBootLoaderAndAnswersTextWithQ) {
  Bench bench(Bench::Preset("lab"));
  EXPECT_FALSE(bench.Device().Status().firmwareRunning);
  const Bytes reply = bench.Exchange(ToBytes("\r\n"), LineSettings{9600, 1, false});
  EXPECT_EQ(reply, (Bytes{'Q', 'Q'}));
}

}  // namespace
}  // namespace sim::test

namespace sim::test {
namespace {

TEST(Announcement, BootLoaderAnswersTheProbeFrameWithItsText) {
  Bench bench(Bench::Preset("lab", {"announce=h11h:L1-BOOT"}));
  const Bytes probe{0x68, 0x00, 0x00, 0x68, 0x00, 0x00, 0x00, 0x00, 0x16};
  Bytes expected = ToBytes("h11h");
  expected.insert(expected.end(), {0x00, 0x00, 0x1E});
  const Bytes text = ToBytes("L1-BOOT");
  expected.insert(expected.end(), text.begin(), text.end());
  expected.insert(expected.end(), {0x0A, 0x16});
  EXPECT_EQ(bench.Exchange(probe, LineSettings{38400, 1, false}), expected);
  EXPECT_FALSE(ParseAnnouncement("h22h:x"));
  EXPECT_EQ(ParseAnnouncement("h,,h:x")->variant, 2);
}

// A power failure before a command is carried out: no answer, and the
// instrument starts again as it does at power-on (here the firmware that the
// flash still holds, which answers at once).
TEST(Bsl5xxFaults, PowerLostRestartsTheInstrumentWithoutAnswering) {
  FaultPlan faults;
  faults.Add(*ParseFault("power:version"));
  Bench bench(Bench::Preset("msp430-5xx", {"running=bootloader"}), std::move(faults));
  EXPECT_EQ(bench.Exchange(Frame5xx({0x19})), Bytes{});
  EXPECT_TRUE(bench.Device().Status().firmwareRunning);
  EXPECT_EQ(bench.Text("A.1000\r\n"), "!\r\n");
}

}  // namespace
}  // namespace sim::test
