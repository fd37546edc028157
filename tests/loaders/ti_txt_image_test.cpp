#include "loaders/ti_txt_image.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "image_test_util.h"

namespace loaders {
namespace {

using test::ByteMap;
using test::Bytes;
using test::Flatten;
using test::Section;

struct Layout {
  std::uint32_t address;
  std::uint16_t count;
};

struct ReaderCase {
  const char* name;
  std::string text;
  std::vector<Layout> blocks;
};

std::vector<ReaderCase> ReaderCases() {
  return {
      {"two lines at FFE0", Section(0xFFE0, Bytes(32)) + "q\r\n", {{0xFFE0, 32}}},
      {"fifteen lines make a block", Section(0xC000, Bytes(320)) + "q", {{0xC000, 240}, {0xC0F0, 80}}},
      {"odd section padded", Section(0x1000, Bytes(3)) + Section(0x2000, Bytes(2)) + "q", {{0x1000, 4}, {0x2000, 2}}},
      {"empty block replaced", "@1000\r\n" + Section(0x3000, Bytes(4)) + "q", {{0x3000, 4}}},
      {"odd last block padded", Section(0x4000, Bytes(5)) + "q", {{0x4000, 6}}},
      {"unix line ends and trailing blanks", "@4000\n01 02 \n03 04\nq\n", {{0x4000, 4}}},
      {"odd full block carries its last byte", Section(0x8000, Bytes(15 * 15 + 4), 15) + "q",
       {{0x8000, 224}, {0x80E0, 6}}},
      {"end character mid-line", "@4000\r\n01 02 q 03 04\r\n", {{0x4000, 2}}},
  };
}

TEST(TiTxtReader, CutsBlocksAndKeepsEveryByteAtItsAddress) {
  for (const ReaderCase& c : ReaderCases()) {
    SCOPED_TRACE(c.name);
    TiTxtImage image;
    ASSERT_TRUE(ReadTiTxt(c.text, {}, image).Ok());
    ASSERT_EQ(image.blocks.size(), c.blocks.size());
    for (std::size_t i = 0; i < c.blocks.size(); ++i) {
      EXPECT_EQ(image.blocks[i].address, c.blocks[i].address) << "block " << i;
      EXPECT_EQ(image.blocks[i].count, c.blocks[i].count) << "block " << i;
    }
  }
}

TEST(TiTxtReader, PaddingUsesErasedValueAndCarryKeepsAddresses) {
  TiTxtImage image;
  ASSERT_TRUE(ReadTiTxt(Section(0x1000, {1, 2, 3}) + Section(0x2000, {4, 5}) + "q", {}, image).Ok());
  EXPECT_EQ(image.blocks[0].data[3], 0xFF);

  // Lines of 15 bytes: 15 of them are 225 bytes, an odd count.
  const auto bytes = Bytes(15 * 15 + 4);
  ASSERT_TRUE(ReadTiTxt(Section(0x8000, bytes, 15) + "q", {}, image).Ok());
  ByteMap expected;
  test::Put(expected, 0x8000, bytes);
  expected[0x8000 + static_cast<std::uint32_t>(bytes.size())] = 0xFF;  // the odd end
  EXPECT_EQ(Flatten(image), expected);
}

TEST(TiTxtReader, RefusesInputBeyondTheLimits) {
  struct Bad {
    const char* name;
    std::string text;
    TiTxtError error;
    int line;
  };
  const std::string longLine = "@4000\r\n" + std::string(17 * 3, ' ');
  const std::vector<Bad> cases = {
      {"17 bytes in a line", Section(0x4000, Bytes(17), 17) + "q", TiTxtError::LineTooLong, 2},
      {"data before the address", "01 02\r\n@4000\r\nq", TiTxtError::DataWithoutAddress, 1},
      {"not hexadecimal", "@4000\r\n01 0G\r\nq", TiTxtError::BadCharacter, 2},
      {"bad address", "@40Z0\r\n01 02\r\nq", TiTxtError::BadCharacter, 1},
      {"three digits", "@4000\r\n012 03\r\nq", TiTxtError::BadCharacter, 2},
      {"no data", "@4000\r\nq", TiTxtError::NoData, 0},
      {"nothing at all", "", TiTxtError::NoEnd, 0},
      {"cut short at a line end", Section(0x4000, Bytes(32)), TiTxtError::NoEnd, 0},
      {"too many blocks", Section(0x1000, {1, 2}) + Section(0x2000, {1, 2}) + Section(0x3000, {1, 2}) + "q",
       TiTxtError::TooManyBlocks, 5},
  };
  for (const Bad& c : cases) {
    SCOPED_TRACE(c.name);
    TiTxtImage image;
    const TiTxtResult result = ReadTiTxt(c.text, {2, 0xFFFFFF}, image);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(result.line, c.line);
    EXPECT_TRUE(image.blocks.empty());
  }
}

TEST(ClassicImage, SplitsAt64KAndMovesTheVectorsBehindAMarker) {
  TiTxtImage image;
  // A section at FFF0 that runs on across 0x10000 is split there.
  ASSERT_TRUE(ReadClassicImage(Section(0x4000, Bytes(32)) + Section(0xFFF0, Bytes(32)) + "q", 1280, image).Ok());
  ASSERT_EQ(image.blocks.size(), 4u);
  EXPECT_EQ(image.blocks[1].address, 0x10000u);
  EXPECT_EQ(image.blocks[1].count, 16);
  EXPECT_TRUE(image.blocks[2].IsMarker());
  EXPECT_EQ(image.blocks[3].address, 0xFFF0u);
  EXPECT_EQ(image.upperStart, 1);

  ASSERT_TRUE(ReadClassicImage(Section(0x4000, Bytes(32)) + Section(0xFFE0, Bytes(32)) + Section(0x10000, Bytes(16)) +
                                   "q",
                               1280, image)
                  .Ok());
  ASSERT_EQ(image.blocks.size(), 4u);
  EXPECT_EQ(image.blocks[0].address, 0x4000u);
  EXPECT_EQ(image.blocks[1].address, 0x10000u);
  EXPECT_TRUE(image.blocks[2].IsMarker());
  EXPECT_EQ(image.blocks[3].address, 0xFFE0u);
  EXPECT_EQ(image.upperStart, 1);

  // Within 64 KB nothing moves.
  ASSERT_TRUE(ReadClassicImage(Section(0xFFE0, Bytes(32)) + Section(0x4000, Bytes(32)) + "q", 1280, image).Ok());
  EXPECT_EQ(image.upperStart, -1);
  EXPECT_EQ(image.blocks[0].address, 0xFFE0u);
}

TEST(ClassicImage, RefusesWhatTheOffsetCannotReach) {
  TiTxtImage image;
  EXPECT_EQ(ReadClassicImage(Section(0x20000, Bytes(2)) + "q", 1280, image).error, TiTxtError::AddressTooHigh);
  EXPECT_EQ(ReadClassicImage(Section(0x10000, Bytes(2)) + Section(0x4000, Bytes(2)) + "q", 1280, image).error,
            TiTxtError::LowAfterHigh);
}

TEST(Image5xx, MovesTheVectorRegionToTheEndUnlessItIsFirst) {
  TiTxtImage image;
  ASSERT_TRUE(Read5xxImage(Section(0x5C00, Bytes(16)) + Section(0xFF80, Bytes(128)) + Section(0x24000, Bytes(16)) +
                               "q",
                           1280, image)
                  .Ok());
  ASSERT_EQ(image.blocks.size(), 3u);
  EXPECT_EQ(image.firstVectorBlock, 1);
  EXPECT_EQ(image.vectorBlockCount, 1);
  EXPECT_EQ(image.blocks[1].address, 0x24000u);  // kept whole
  EXPECT_EQ(image.blocks[2].address, 0xFF80u);

  ASSERT_TRUE(Read5xxImage(Section(0xFF80, Bytes(128)) + Section(0x5C00, Bytes(16)) + "q", 1280, image).Ok());
  EXPECT_EQ(image.firstVectorBlock, 0);
  EXPECT_EQ(image.blocks[0].address, 0xFF80u);
}

// srec_cat writes TI-TXT independently of us; reading its output must give
// back exactly the bytes it was given, at their addresses.
TEST(TiTxtReader, ReadsWhatAnIndependentConverterWrites) {
  if (std::system("command -v srec_cat >/dev/null 2>&1") != 0) GTEST_SKIP() << "srec_cat not installed";
  // A directory of its own: the same test may run in another build at once.
  char pattern[] = "/tmp/ti-txt-srec-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  const struct RemovedAtEnd {
    std::string path;
    ~RemovedAtEnd() { std::filesystem::remove_all(path); }
  } removed{dir};
  struct Piece {
    std::uint32_t address;
    std::vector<std::uint8_t> bytes;
  };
  const std::vector<Piece> pieces = {
      {0x1100, Bytes(301, 7)},  // odd length, several blocks
      {0x4001, Bytes(5, 40)},   // odd start
      {0xFF00, Bytes(512, 9)},  // runs across 64 KB
      {0x1C000, Bytes(77, 3)},  // above 64 KB
  };
  std::string command = "srec_cat";
  ByteMap expected;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const std::string file = dir + "/piece" + std::to_string(i) + ".bin";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(pieces[i].bytes.data()), static_cast<std::streamsize>(pieces[i].bytes.size()));
    char offset[32];
    std::snprintf(offset, sizeof offset, "0x%X", pieces[i].address);
    command += " " + file + " -binary -offset " + offset;
    test::Put(expected, pieces[i].address, pieces[i].bytes);
  }
  const std::string out = dir + "/image.txt";
  ASSERT_EQ(std::system((command + " -o " + out + " -ti-txt").c_str()), 0);
  std::ifstream in(out, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  TiTxtImage image;
  ASSERT_TRUE(Read5xxImage(text, 1280, image).Ok());
  ByteMap got = Flatten(image);
  // Our only additions: 0xFF behind a section of odd length.
  for (auto it = got.begin(); it != got.end();) {
    it = expected.count(it->first) == 0 && it->second == 0xFF ? got.erase(it) : std::next(it);
  }
  EXPECT_EQ(got, expected);
  for (const ImageBlock& b : image.blocks) EXPECT_EQ(b.count % 2, 0) << std::hex << b.address;
}

}  // namespace
}  // namespace loaders
