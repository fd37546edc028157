// The .BIN image of the EMF instruments: where the builder puts the version
// and how strictly the instrument reads it back.
#include "sim/emf_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

FirmwareImageSpec Recipe(const char* version, std::uint32_t codeSize) {
  FirmwareImageSpec recipe;
  recipe.version = version;
  recipe.codeSize = codeSize;
  return recipe;
}

std::uint32_t WordAt(const Bytes& image, std::size_t at) {
  return image[at] | image[at + 1] << 8 | image[at + 2] << 16 |
         static_cast<std::uint32_t>(image[at + 3]) << 24;
}

TEST(EmfImage, VersionRecordClosesTheFileAndTheHeaderPointsAtIt) {
  for (const std::uint32_t codeSize : {0x100u, 0x2000u, 0x40000u}) {
    const Bytes image = BuildEmfImage(Recipe("1.10", codeSize));
    const std::string tail(
        "\0EMF-Version\r\n\x04"
        "1.10\0",
        20);
    ASSERT_EQ(image.size(), 16 + codeSize + tail.size());
    EXPECT_EQ(std::string(image.end() - static_cast<long>(tail.size()), image.end()), tail);
    EXPECT_EQ(WordAt(image, 8), 16 + codeSize);
    EXPECT_EQ(ReadEmfVersion(image), "1.10");
  }
}

TEST(EmfImage, SameRecipeSameBytesAndVersionsDiffer) {
  EXPECT_EQ(BuildEmfImage(Recipe("1.10", 0x400)), BuildEmfImage(Recipe("1.10", 0x400)));
  const Bytes a = BuildEmfImage(Recipe("1.10", 0x400));
  const Bytes b = BuildEmfImage(Recipe("1.20", 0x400));
  EXPECT_FALSE(std::equal(a.begin() + 16, a.begin() + 0x410, b.begin() + 16))
      << "code depends on the version";
}

struct BrokenCase {
  const char* name;
  void (*spoil)(Bytes&);
};

class BrokenImage : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenImage, HasNoVersion) {
  Bytes image = BuildEmfImage(Recipe("2.05", 0x80));
  GetParam().spoil(image);
  EXPECT_EQ(ReadEmfVersion(image), std::nullopt) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BrokenImage,
    ::testing::Values(
        BrokenCase{"empty", [](Bytes& i) { i.clear(); }},
        BrokenCase{"cut inside the record", [](Bytes& i) { i.resize(i.size() - 3); }},
        BrokenCase{"record offset past the end", [](Bytes& i) { i[11] = 0x7F; }},
        BrokenCase{"record offset at the last byte",
                   [](Bytes& i) { i[8] = static_cast<std::uint8_t>(i.size() - 1); }},
        BrokenCase{"marker changed", [](Bytes& i) { i[16 + 0x80 + 3] = 'X'; }},
        BrokenCase{"no zero before the marker", [](Bytes& i) { i[16 + 0x80] = 0x20; }},
        BrokenCase{"length byte 0", [](Bytes& i) { i[16 + 0x80 + 14] = 0; }},
        BrokenCase{"length past the terminator", [](Bytes& i) { i[16 + 0x80 + 14] = 5; }},
        BrokenCase{"letter in the version", [](Bytes& i) { i[16 + 0x80 + 16] = 'x'; }},
        BrokenCase{"erased memory", [](Bytes& i) { std::fill(i.begin(), i.end(), 0xFF); }}));

}  // namespace
}  // namespace sim
