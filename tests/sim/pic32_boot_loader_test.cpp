// The PIC32 serial boot loader, driven with frames built from its wire
// format: SOH, DLE-escaped command + data + CRC-16-CCITT (start 0, low byte
// first), EOT.
#include <gtest/gtest.h>

#include "sim/image_builder.h"
#include "sim_bench.h"

namespace sim::test {
namespace {

constexpr LineSettings kLoaderLine{115200, 1, false};

std::uint16_t CcittFromZero(const Bytes& bytes) {
  std::uint16_t crc = 0;
  for (const std::uint8_t byte : bytes) {
    crc ^= static_cast<std::uint16_t>(byte << 8);
    for (int i = 0; i < 8; ++i)
      crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

Bytes Frame(Bytes content) {
  const std::uint16_t crc = CcittFromZero(content);
  content.push_back(static_cast<std::uint8_t>(crc));
  content.push_back(static_cast<std::uint8_t>(crc >> 8));
  Bytes frame{0x01};
  for (const std::uint8_t byte : content) {
    if (byte == 0x01 || byte == 0x04 || byte == 0x10) frame.push_back(0x10);
    frame.push_back(byte);
  }
  frame.push_back(0x04);
  return frame;
}

// A binary HEX record: count, address, type, data, checksum.
Bytes Record(std::uint16_t address, std::uint8_t type, const Bytes& data) {
  Bytes record{static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(address >> 8),
               static_cast<std::uint8_t>(address), type};
  record.insert(record.end(), data.begin(), data.end());
  std::uint8_t sum = 0;
  for (const std::uint8_t byte : record) sum = static_cast<std::uint8_t>(sum + byte);
  record.push_back(static_cast<std::uint8_t>(0x100 - sum));
  return record;
}

Bytes Program(const Bytes& record) {
  Bytes content{0x03};
  content.insert(content.end(), record.begin(), record.end());
  return Frame(content);
}

Bytes ReadCrc(std::uint32_t address, std::uint32_t length) {
  Bytes content{0x04};
  for (const std::uint32_t value : {address, length}) {
    for (int i = 0; i < 4; ++i) content.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
  return Frame(content);
}

class Pic32BootLoaderTest : public ::testing::Test {
 protected:
  Pic32BootLoaderTest() : bench_(Bench::Preset("pic32")) {}

  void EnterLoader() { ASSERT_EQ(bench_.Text("A.1200\r\n"), "!\r\n"); }
  Bytes Ask(const Bytes& frame) { return bench_.Exchange(frame, kLoaderLine); }

  Bench bench_;
};

TEST_F(Pic32BootLoaderTest, AnswersBootInfoAndIgnoresWhatItCannotTake) {
  EnterLoader();
  EXPECT_FALSE(bench_.Device().Status().firmwareRunning);
  EXPECT_EQ(Ask(Frame({0x01})), Frame({0x01, 0x01, 0x02}));
  Bytes corrupted = Frame({0x01});
  corrupted[corrupted.size() - 2] ^= 0x20;
  EXPECT_TRUE(Ask(corrupted).empty()) << "wrong CRC";
  EXPECT_TRUE(Ask(Frame({0x09})).empty()) << "unknown command";
  EXPECT_TRUE(Ask(Bytes{0x55, 0xAA}).empty()) << "bytes outside a frame";
  EXPECT_EQ(Ask(Bytes{0x01, 0x01, 0x77}), Bytes{}) << "cut short by a new SOH ...";
  EXPECT_EQ(Ask(Frame({0x01})), Frame({0x01, 0x01, 0x02})) << "... which starts the next frame";
}

TEST_F(Pic32BootLoaderTest, ProgramsRecordsIntoErasedFlashOnly) {
  EnterLoader();
  // Data full of the frame's control bytes: they travel escaped both ways.
  const Bytes data{0x01, 0x04, 0x10, 0x10, 0x31, 0x2E, 0x04, 0x01};
  EXPECT_TRUE(Ask(Program(Record(0x4000, 0x00, data))).empty()) << "not erased";
  EXPECT_EQ(Ask(Frame({0x02})), Frame({0x02}));
  EXPECT_EQ(Ask(Program(Record(0x0000, 0x04, {0x00, 0x00}))), Frame({0x03}));
  Bytes badSum = Record(0x4000, 0x00, data);
  badSum.back() ^= 0x01;
  EXPECT_TRUE(Ask(Program(badSum)).empty()) << "record checksum";
  EXPECT_TRUE(Ask(Program(Record(0x4002, 0x00, data))).empty()) << "not word aligned";
  EXPECT_TRUE(Ask(Program(Record(0x3FF8, 0x00, data))).empty()) << "boot flash";
  EXPECT_TRUE(Ask(Program(Record(0x0000, 0x06, {}))).empty()) << "unknown record type";
  EXPECT_EQ(Ask(Program(Record(0x4000, 0x00, data))), Frame({0x03}));
  EXPECT_EQ(bench_.Device().Memory(0).Read(0x4000, data.size()), data);
  const std::uint16_t crc = CcittFromZero(data);
  EXPECT_EQ(Ask(ReadCrc(0x4000, 8)),
            Frame({0x04, static_cast<std::uint8_t>(crc), static_cast<std::uint8_t>(crc >> 8)}));
  EXPECT_TRUE(Ask(ReadCrc(0xFFF0, 0x20)).empty()) << "past the end of the flash";
  EXPECT_EQ(Ask(Program(Record(0x0000, 0x04, {0x00, 0x01}))), Frame({0x03}));
  EXPECT_TRUE(Ask(Program(Record(0x4000, 0x00, {0xFF, 0xFF, 0xFF, 0xFF}))).empty())
      << "0x14000 is no flash";
}

TEST_F(Pic32BootLoaderTest, JumpStartsTheProgrammedFirmware) {
  const InstrumentConfig config = Bench::Preset("pic32");
  FirmwareImageSpec recipe = config.main.firmware;
  recipe.version = "2.10";
  const MemoryImage image = BuildFirmwareImage(recipe);
  EnterLoader();
  Ask(Frame({0x02}));
  for (const ImageSegment& segment : image) {
    for (std::size_t at = 0; at < segment.data.size(); at += 16) {
      const Bytes piece(segment.data.begin() + at, segment.data.begin() + at + 16);
      ASSERT_EQ(Ask(Program(Record(static_cast<std::uint16_t>(segment.address + at), 0x00, piece))),
                Frame({0x03}));
    }
  }
  EXPECT_TRUE(Ask(Frame({0x05})).empty()) << "the jump is not answered";
  const Bytes boot = bench_.RunFor(config.bootMs);
  EXPECT_EQ(std::string(boot.begin(), boot.end()), "Firmware 2.10\r\n!\r\n");
  FlashModel expected(*config.main.part);
  expected.Load(image);
  EXPECT_EQ(bench_.Device().Memory(0).FlashImage(), expected.FlashImage());
}

}  // namespace
}  // namespace sim::test
