// A whole update as the loaders run it: text phase, boot loader, erase loop,
// programming, read-back and start; afterwards the flash must hold the image
// and the firmware must report the new version.
#include <gtest/gtest.h>

#include "sim/image_builder.h"
#include "sim_bench.h"

namespace sim::test {
namespace {

constexpr std::size_t kBlock = 240;  // 15 TI-TXT lines of 16 bytes

struct Block {
  std::uint32_t address;
  Bytes data;
};

std::vector<Block> Blocks(const MemoryImage& image) {
  std::vector<Block> blocks;
  for (const ImageSegment& segment : image) {
    for (std::size_t i = 0; i < segment.data.size(); i += kBlock) {
      const std::size_t n = std::min(kBlock, segment.data.size() - i);
      blocks.push_back({segment.address + static_cast<std::uint32_t>(i),
                        Bytes(segment.data.begin() + i, segment.data.begin() + i + n)});
    }
  }
  return blocks;
}

void ExpectFlashHolds(const FlashModel& flash, const MemoryImage& image) {
  for (const ImageSegment& segment : image) {
    EXPECT_EQ(flash.Read(segment.address, segment.data.size()), segment.data) << std::hex << segment.address;
  }
}

FirmwareImageSpec Recipe(std::string_view preset, const char* version) {
  FirmwareImageSpec recipe = FindPreset(preset)->main.firmware;
  recipe.version = version;
  return recipe;
}

TEST(UpdateFlow, ClassicPartTakesTheNewImage) {
  Bench bench(Bench::Preset("msp430-classic"));
  const MemoryImage image = BuildFirmwareImage(Recipe("msp430-classic", "1.20"));
  const std::vector<Block> blocks = Blocks(image);
  const Bytes ack{0x90};

  ASSERT_EQ(bench.Text("A.1000\r\n"), "!\r\n");
  ASSERT_EQ(bench.Text("A.5577\r\n"), "I.80#4000\r\nA.5577\r\n");
  ASSERT_EQ(bench.Text("A.5588#RV83\r\n"), "A.5588\r\n");
  ASSERT_EQ(bench.ClassicCommand(ClassicFrame(0x1E, 0x5858, 0x5858)).size(), 22u);
  Bytes password(30, 0xFF);
  password.insert(password.end(), {0x00, 0x40});
  ASSERT_EQ(bench.ClassicCommand(ClassicFrame(0x10, 0xFFFF, 0xFFFF, password)), ack);
  ASSERT_EQ(bench.ClassicCommand(ClassicFrame(0x20, 0xC800, 0x5802)), ack);

  // Erase from 0xFC00 down to the code, then the version segment; the vector
  // segment waits until its block is programmed.
  for (std::uint32_t a = 0xFC00; a >= blocks[1].address; a -= 0x200) {
    ASSERT_EQ(bench.ClassicCommand(ClassicFrame(0x16, static_cast<std::uint16_t>(a), 0xA502)), ack);
  }
  ASSERT_EQ(bench.ClassicCommand(ClassicFrame(0x16, 0x1080, 0xA502)), ack);
  for (const Block& block : blocks) {
    if (block.address >= 0xFE00) {
      ASSERT_EQ(bench.ClassicCommand(ClassicFrame(0x16, 0xFFFF, 0xA502)), ack);
    }
    ASSERT_EQ(bench.ClassicCommand(ClassicFrame(0x12, static_cast<std::uint16_t>(block.address),
                                                static_cast<std::uint16_t>(block.data.size()), block.data)),
              ack);
  }
  for (const Block& block : blocks) {
    const Bytes frame = bench.ClassicCommand(
        ClassicFrame(0x14, static_cast<std::uint16_t>(block.address), static_cast<std::uint16_t>(block.data.size())));
    ASSERT_EQ(Bytes(frame.begin() + 4, frame.end() - 2), block.data);
  }
  // The loader starts at the word of 0xFFFC, which this image leaves erased.
  ASSERT_EQ(bench.ClassicCommand(ClassicFrame(0x1A, 0xFFFF, 0x5858)), ack);

  ExpectFlashHolds(bench.Device().Memory(0), image);
  EXPECT_EQ(bench.RunFor(3000), ToBytes("Firmware 1.20\r\n!\r\n"));
  EXPECT_EQ(bench.Text("A.2001\r\n"), "I.21#1.20\r\n");
  EXPECT_EQ(bench.Device().Status().loadPc, 0xFFFF);
}

TEST(UpdateFlow, FiveXxPartTakesTheNewImage) {
  Bench bench(Bench::Preset("msp430-5xx"));
  const MemoryImage image = BuildFirmwareImage(Recipe("msp430-5xx", "2.10"));
  const std::vector<Block> blocks = Blocks(image);
  const Bytes done{0x00, 0x80, 0x02, 0x00, 0x3B, 0x00, 0x60, 0xC4};

  ASSERT_EQ(bench.Text("A.1000\r\n"), "!\r\n");
  const std::string query = bench.Text("A.5577\r\n");
  ASSERT_EQ(query.substr(0, 5), "I.80#");
  ASSERT_EQ(bench.Text("A.5588#RV83\r\n"), "A.5588\r\n");
  // Words from the reply, six characters each, highest address first.
  Bytes core{0x11};
  for (int word = 0; word < 16; ++word) {
    const std::string text = query.substr(5 + static_cast<std::size_t>(15 - word) * 6, 6);
    const auto value = static_cast<std::uint16_t>(std::stoul(text, nullptr, 16));
    core.push_back(static_cast<std::uint8_t>(value));
    core.push_back(static_cast<std::uint8_t>(value >> 8));
  }
  ASSERT_EQ(bench.Exchange(Frame5xx(core)), done);
  ASSERT_EQ(bench.Exchange(Frame5xx({0x52, 0x04})), Bytes{0x00});
  for (std::uint32_t a = 0xFC00; a >= blocks[0].address; a -= 0x200) {
    ASSERT_EQ(bench.Exchange(Frame5xx({0x12, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(a >> 8), 0})),
              done);
  }
  for (const Block& block : blocks) {
    if (block.address >= 0xFE00) {
      ASSERT_EQ(bench.Exchange(Frame5xx({0x12, 0xFF, 0xFF, 0x00})), done);
    }
    Bytes rx{0x10, static_cast<std::uint8_t>(block.address), static_cast<std::uint8_t>(block.address >> 8), 0};
    rx.insert(rx.end(), block.data.begin(), block.data.end());
    ASSERT_EQ(bench.Exchange(Frame5xx(rx)), done);
  }
  ASSERT_EQ(bench.Exchange(Frame5xx({0x17, 0x10, 0x5C, 0x00})), Bytes{0x00});
  ExpectFlashHolds(bench.Device().Memory(0), image);
  EXPECT_EQ(bench.RunFor(3000), ToBytes("Firmware 2.10\r\n!\r\n"));
}

}  // namespace
}  // namespace sim::test
