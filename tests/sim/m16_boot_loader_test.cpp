// The M16 boot loader, driven with frames built from its wire format:
// request 5A CMD LEN payload SUM, response A5 STATUS LEN payload SUM.
#include <gtest/gtest.h>

#include "sim/image_builder.h"
#include "sim_bench.h"

namespace sim::test {
namespace {

constexpr LineSettings kLoaderLine{38400, 1, false};
constexpr std::uint8_t kDone = 0x00, kChecksum = 0x01, kUnknown = 0x02, kBadParameter = 0x03,
                       kWriteCheck = 0x04, kSequence = 0x05;

Bytes Framed(std::uint8_t start, std::uint8_t code, const Bytes& payload) {
  Bytes frame{start, code, static_cast<std::uint8_t>(payload.size())};
  frame.insert(frame.end(), payload.begin(), payload.end());
  std::uint8_t sum = 0;
  for (std::size_t i = 1; i < frame.size(); ++i) sum = static_cast<std::uint8_t>(sum + frame[i]);
  frame.push_back(static_cast<std::uint8_t>(0x100 - sum));
  return frame;
}
Bytes Request(std::uint8_t command, const Bytes& payload = {}) {
  return Framed(0x5A, command, payload);
}
Bytes Response(std::uint8_t status, const Bytes& payload = {}) {
  return Framed(0xA5, status, payload);
}

Bytes WithAddress(std::uint32_t address, const Bytes& rest) {
  Bytes out{static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address >> 16)};
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

class M16BootLoaderTest : public ::testing::Test {
 protected:
  M16BootLoaderTest() : bench_(Bench::Preset("m16")) {}

  void EnterLoader() { ASSERT_EQ(bench_.Text("A.1200\r\n"), "!\r\n"); }
  Bytes Ask(const Bytes& request) { return bench_.Exchange(request, kLoaderLine); }
  Bytes Connect() { return Ask(Request(0x01)); }
  Bytes Erase() { return Ask(Request(0x02, {0x55, 0xAA})); }
  Bytes Write(std::uint32_t address, const Bytes& data) {
    return Ask(Request(0x03, WithAddress(address, data)));
  }

  Bench bench_;
};

TEST_F(M16BootLoaderTest, EntryCommandHandsTheLineToTheLoader) {
  EnterLoader();
  EXPECT_FALSE(bench_.Device().Status().firmwareRunning);
  EXPECT_EQ(Connect(), Response(kDone, {0x01, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x01}));

  Bench classic(Bench::Preset("msp430-classic"));
  EXPECT_EQ(classic.Text("A.1200\r\n"), "!\r\n");
  EXPECT_TRUE(classic.Device().Status().firmwareRunning)
      << "MSP430 instruments stay in their firmware";
}

TEST_F(M16BootLoaderTest, RefusesBrokenFramesAndCommandsOutOfOrder) {
  EnterLoader();
  Bytes corrupted = Request(0x01);
  corrupted.back() ^= 0x01;
  EXPECT_EQ(Ask(corrupted), Response(kChecksum));
  EXPECT_EQ(Ask(Request(0x04, WithAddress(0x8000, {0x10}))), Response(kSequence))
      << "connect first";
  EXPECT_TRUE(Ask(Bytes{0x00, 0x13, 0xA5}).empty()) << "stray bytes are dropped";
  EXPECT_EQ(bench_.Device().Status().counters.badFrames, 4u);
  EXPECT_EQ(Ask(Bytes{0x5A, 0x03, 0x84}), Response(kBadParameter)) << "payload longer than 131";
  EXPECT_EQ(Connect()[1], kDone);
  EXPECT_EQ(Ask(Request(0x07)), Response(kUnknown));
  EXPECT_EQ(Ask(Request(0x02, {0xAA, 0x55})), Response(kBadParameter)) << "wrong erase key";
  EXPECT_EQ(Write(0x8000, {0x01, 0x02}), Response(kSequence)) << "erase first";
  EXPECT_EQ(Ask(Request(0x06)), Response(kSequence)) << "validate first";
}

TEST_F(M16BootLoaderTest, WritesOnlyErasedFlashAtEvenAddresses) {
  EnterLoader();
  Connect();
  EXPECT_EQ(Erase(), Response(kDone));
  EXPECT_EQ(bench_.Device().Memory(0).Read(0x8000), 0xFF);
  EXPECT_EQ(Write(0x8001, {0x01, 0x02}), Response(kBadParameter));
  EXPECT_EQ(Write(0x8000, {0x01, 0x02, 0x03}), Response(kBadParameter));
  EXPECT_EQ(Write(0x7FFE, {0x01, 0x02}), Response(kBadParameter)) << "the loader's own memory";
  EXPECT_EQ(Write(0xFFFE, {0x01, 0x02, 0x03, 0x04}), Response(kBadParameter)) << "past the end";
  EXPECT_EQ(Write(0x8000, {0x31, 0x2E}), Response(kDone));
  EXPECT_EQ(Write(0x8000, {0x32, 0x2E}), Response(kWriteCheck)) << "flash only clears bits";
  EXPECT_EQ(Ask(Request(0x04, WithAddress(0x8000, {0x02}))), Response(kDone, {0x30, 0x2E}));
}

TEST_F(M16BootLoaderTest, ProgrammedImageStartsAfterValidate) {
  const InstrumentConfig config = Bench::Preset("m16");
  FirmwareImageSpec recipe = config.main.firmware;
  recipe.version = "1.10";
  const MemoryImage image = BuildFirmwareImage(recipe);
  EnterLoader();
  Connect();
  Erase();
  for (const ImageSegment& segment : image) {
    for (std::size_t at = 0; at < segment.data.size(); at += 128) {
      const Bytes piece(segment.data.begin() + at,
                        segment.data.begin() + std::min(segment.data.size(), at + 128));
      ASSERT_EQ(Write(segment.address + static_cast<std::uint32_t>(at), piece), Response(kDone));
    }
  }
  EXPECT_EQ(Ask(Request(0x05)), Response(kDone));
  EXPECT_EQ(Ask(Request(0x06)), Response(kDone));
  const Bytes boot = bench_.RunFor(config.bootMs);
  EXPECT_EQ(std::string(boot.begin(), boot.end()), "Firmware 1.10\r\n!\r\n");
  EXPECT_EQ(bench_.Device().Status().firmwareVersion, "1.10");

  FlashModel expected(*config.main.part);
  expected.Load(image);
  EXPECT_EQ(bench_.Device().Memory(0).FlashImage(), expected.FlashImage());
}

TEST(M16BootLoaderFaults, SilenceLeavesTheHostWithoutAnswer) {
  FaultPlan faults;
  faults.Add(*ParseFault("silence:connect"));
  Bench bench(Bench::Preset("m16", {"running=bootloader"}), std::move(faults));
  EXPECT_TRUE(bench.Exchange(Request(0x01), kLoaderLine).empty());
}

}  // namespace
}  // namespace sim::test
