// The image builder and the flash model it is loaded into.
#include "sim/image_builder.h"

#include <gtest/gtest.h>

#include "sim/firmware_check.h"
#include "sim/flash_model.h"
#include "sim/presets.h"

namespace sim {
namespace {

FirmwareImageSpec ClassicSpec(const char* version) {
  FirmwareImageSpec recipe = FindPreset("msp430-classic")->main.firmware;
  recipe.version = version;
  return recipe;
}

TEST(ImageBuilder, TiTxtHasVersionFirstSixteenByteLinesAndTheEnd) {
  const std::string text = ToTiTxt(BuildFirmwareImage(ClassicSpec("1.20")));
  EXPECT_EQ(text.rfind("@1080\r\n31 2E 32 30 00 FF FF FF FF FF FF FF FF FF FF FF\r\n@4000\r\n31 40 ", 0), 0u);
  EXPECT_TRUE(text.ends_with(
      "@FFE0\r\nFF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF\r\n"
      "FF FF FF FF FF FF FF FF FF FF FF FF FF FF 00 40\r\nq\r\n"));
  std::size_t start = 0;
  for (std::size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
    EXPECT_LE(end - start, 47u) << "a data line holds at most 16 bytes";
    start = end + 2;
  }
}

TEST(ImageBuilder, IsDeterministicAndVersionsDiffer) {
  EXPECT_EQ(ToTiTxt(BuildFirmwareImage(ClassicSpec("1.20"))), ToTiTxt(BuildFirmwareImage(ClassicSpec("1.20"))));
  EXPECT_NE(BuildFirmwareImage(ClassicSpec("1.20"))[1].data, BuildFirmwareImage(ClassicSpec("1.10"))[1].data);
}

TEST(ImageBuilder, StartWordOnlyWhenAskedFor) {
  FirmwareImageSpec recipe = ClassicSpec("1.20");
  recipe.startWord = true;
  const auto vectors = BuildFirmwareImage(recipe)[2];
  EXPECT_EQ(vectors.address, 0xFFE0u);
  EXPECT_EQ(vectors.data[28], 0x00);
  EXPECT_EQ(vectors.data[29], 0x40);
}

TEST(ImageBuilder, LoadedImageIsRunnableFirmwareWithItsVersion) {
  FlashModel flash(*FindPart("f1611"));
  EXPECT_FALSE(HasRunnableFirmware(flash, 0x1080));
  flash.Load(BuildFirmwareImage(ClassicSpec("1.20")));
  EXPECT_EQ(ReadFirmwareVersion(flash, 0x1080), "1.20");
  EXPECT_EQ(ResetEntry(flash), 0x4000u);
  EXPECT_EQ(VersionValue("1.20"), 1200);
}

struct EraseCase {
  const char* part;
  std::uint32_t address;
  std::uint32_t first;
  std::uint32_t end;
};

class EraseGeometry : public ::testing::TestWithParam<EraseCase> {};

TEST_P(EraseGeometry, ErasesExactlyTheSegment) {
  FlashModel flash(*FindPart(GetParam().part));
  const MemoryRange& main = flash.Part().main;
  const MemoryRange& info = flash.Part().info;
  for (const MemoryRange* range : {&main, &info}) {
    flash.Load({{range->start, std::vector<std::uint8_t>(range->end - range->start, 0x00)}});
  }
  ASSERT_TRUE(flash.EraseSegment(GetParam().address));
  EXPECT_EQ(flash.Read(GetParam().first), 0xFF);
  EXPECT_EQ(flash.Read(GetParam().end - 1), 0xFF);
  // Neighbouring flash keeps its data.
  for (const std::uint32_t neighbour : {GetParam().first - 1, GetParam().end}) {
    if (flash.IsFlash(neighbour)) {
      EXPECT_EQ(flash.Read(neighbour), 0x00) << std::hex << neighbour;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Parts, EraseGeometry,
                         ::testing::Values(EraseCase{"f1611", 0x4000, 0x4000, 0x4200},
                                           EraseCase{"f1611", 0xFFFF, 0xFE00, 0x10000},
                                           EraseCase{"f1611", 0x1080, 0x1080, 0x1100},
                                           EraseCase{"f149", 0x1100, 0x1100, 0x1200},
                                           EraseCase{"f2618", 0x1080, 0x1080, 0x10C0},
                                           EraseCase{"f2618", 0x1FC00, 0x1FC00, 0x1FE00},
                                           EraseCase{"f5438", 0x5C00, 0x5C00, 0x5E00},
                                           EraseCase{"f5438", 0x1880, 0x1880, 0x1900}));

TEST(FlashModel, ProgrammingClearsBitsOnlyAndRefusesRom) {
  FlashModel flash(*FindPart("f1611"));
  const std::uint8_t first[] = {0xF0};
  const std::uint8_t second[] = {0x0F};
  EXPECT_EQ(flash.Write(0x4000, first), WriteResult::kOk);
  EXPECT_EQ(flash.Write(0x4000, second), WriteResult::kVerifyFailed);
  EXPECT_EQ(flash.Read(0x4000), 0x00);
  EXPECT_EQ(flash.Write(0x0C00, first), WriteResult::kNotWritable);
  EXPECT_FALSE(flash.EraseSegment(0x0C00));
}

}  // namespace
}  // namespace sim
