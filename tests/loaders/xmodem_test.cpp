// The XMODEM-CRC side of the EMF loader: the CRC, the padded image with its
// trailer, the block frames and the sender's answers to the receiver.
#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "loaders/xmodem_image.h"
#include "loaders/xmodem_sender.h"

namespace loaders::xmodem {
namespace {

std::vector<std::uint8_t> FileOf(std::size_t size) {
  std::vector<std::uint8_t> file(size);
  for (std::size_t i = 0; i < size; ++i) file[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return file;
}

std::uint32_t LittleEndian(const std::uint8_t* at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | at[i];
  return value;
}

TEST(XmodemCrc, KnownAnswers) {
  const struct {
    std::string_view text;
    std::uint16_t crc;
  } cases[] = {{"123456789", 0x31C3}, {"", 0x0000}, {"A", 0x58E5}};
  for (const auto& c : cases) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.text.data());
    EXPECT_EQ(Crc16({bytes, c.text.size()}), c.crc) << c.text;
  }
}

TEST(XmodemImage, PaddingAndTrailerFillWholeBlocks) {
  const struct {
    std::size_t fileSize;
    std::size_t padding;
    std::int32_t blocks;
  } cases[] = {
      {250, 128, 3},                                // 250 + 6 = 256: a whole block of padding
      {300, 78, 3},  {100, 22, 1},  {122, 128, 2},  // 122 + 6 = 128
      {1, 121, 1},   {123, 127, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fileSize);
    const std::vector<std::uint8_t> file = FileOf(c.fileSize);
    const PaddedImage image = PadImage(file);
    const std::size_t length = static_cast<std::size_t>(c.blocks) * kBlockData - kTrailerBytes;
    ASSERT_EQ(image.bytes.size(), c.blocks * kBlockData);
    EXPECT_EQ(PaddedSize(c.fileSize), image.bytes.size());
    EXPECT_EQ(image.blockCount, c.blocks);
    EXPECT_EQ(image.length, length);
    EXPECT_TRUE(std::equal(file.begin(), file.end(), image.bytes.begin()));
    const auto padding = image.bytes.begin() + static_cast<std::ptrdiff_t>(c.fileSize);
    EXPECT_EQ(std::count(padding, padding + static_cast<std::ptrdiff_t>(c.padding), kPadding),
              static_cast<std::ptrdiff_t>(c.padding));
    EXPECT_EQ(c.fileSize + c.padding, length);
    EXPECT_EQ(LittleEndian(&image.bytes[length], 4), length);
    EXPECT_EQ(LittleEndian(&image.bytes[length + 4], 2), Crc16({image.bytes.data(), length}));
    EXPECT_EQ(image.crc, Crc16({image.bytes.data(), length}));
  }
}

TEST(XmodemImage, BlockFramesCarryNumberComplementDataAndCrc) {
  const PaddedImage image = PadImage(FileOf(257 * kBlockData));
  ASSERT_EQ(image.blockCount, 258);
  const struct {
    std::int32_t k;
    std::uint8_t number;
  } cases[] = {{1, 1}, {2, 2}, {255, 255}, {256, 0}, {257, 1}, {258, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.k);
    const BlockFrame frame = BuildBlock(image, c.k);
    EXPECT_EQ(frame[0], kSoh);
    EXPECT_EQ(frame[1], c.number);
    EXPECT_EQ(frame[2], static_cast<std::uint8_t>(255 - c.number));
    const auto data = image.bytes.begin() + static_cast<std::ptrdiff_t>((c.k - 1) * kBlockData);
    EXPECT_TRUE(std::equal(data, data + kBlockData, frame.begin() + 3));
    const std::uint16_t crc = Crc16({frame.data() + 3, kBlockData});
    EXPECT_EQ(frame[131], crc >> 8);
    EXPECT_EQ(frame[132], crc & 0xFF);
  }
}

using Step = XmodemSender::Step;

struct Exchange {
  std::uint8_t answer;
  Step step;
  std::int32_t block;  // current block after the step
};

TEST(XmodemSender, AnswersOfTheReceiver) {
  const PaddedImage image = PadImage(FileOf(300));  // 3 blocks
  const struct {
    const char* name;
    std::vector<Exchange> exchanges;
  } cases[] = {
      {"whole transfer",
       {{kCrcRequest, Step::SendBlock, 1},
        {kAck, Step::SendNextBlock, 2},
        {kAck, Step::SendNextBlock, 3},
        {kAck, Step::SendEot, 3},
        {kAck, Step::Done, 3},
        {kAck, Step::Nothing, 3}}},
      {"noise before the start and between blocks",
       {{'x', Step::Nothing, 1},
        {kAck, Step::Nothing, 1},
        {kCrcRequest, Step::SendBlock, 1},
        {0x00, Step::Nothing, 1},
        {kAck, Step::SendNextBlock, 2}}},
      // The receiver's repeated "C" may cross block 1; only a second one says it was lost.
      {"NAK repeats the block, C only when block 1 was lost",
       {{kCrcRequest, Step::SendBlock, 1},
        {kCrcRequest, Step::Nothing, 1},
        {kAck, Step::SendNextBlock, 2},
        {kCrcRequest, Step::Nothing, 2},
        {kNak, Step::SendBlock, 2}}},
      {"two C before the ACK of block 1",
       {{kCrcRequest, Step::SendBlock, 1},
        {kCrcRequest, Step::Nothing, 1},
        {kCrcRequest, Step::SendBlock, 1},
        {kNak, Step::SendBlock, 1},
        {kAck, Step::SendNextBlock, 2},
        {kCrcRequest, Step::Nothing, 2},
        {kNak, Step::SendBlock, 2}}},
      {"NAK of the end of transmission repeats it",
       {{kCrcRequest, Step::SendBlock, 1},
        {kAck, Step::SendNextBlock, 2},
        {kAck, Step::SendNextBlock, 3},
        {kAck, Step::SendEot, 3},
        {kNak, Step::SendEot, 3},
        {kAck, Step::Done, 3},
        {kNak, Step::Nothing, 3}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    XmodemSender sender(image);
    for (std::size_t i = 0; i < c.exchanges.size(); ++i) {
      const Exchange& e = c.exchanges[i];
      EXPECT_EQ(sender.OnAnswer(e.answer), e.step) << "answer " << i;
      EXPECT_EQ(sender.BlocksSent(), e.block) << "answer " << i;
      EXPECT_EQ(sender.Block()[1], e.block) << "answer " << i;
    }
  }
}

TEST(XmodemSender, GivesUpOnTheTenthRefusalInARow) {
  const PaddedImage image = PadImage(FileOf(300));
  XmodemSender sender(image);
  ASSERT_EQ(sender.OnAnswer(kCrcRequest), Step::SendBlock);
  ASSERT_EQ(sender.OnAnswer(kAck), Step::SendNextBlock);
  // Refusals of one block count only while they come in a row.
  for (int i = 0; i < XmodemSender::kMaxRefusals - 1; ++i)
    ASSERT_EQ(sender.OnAnswer(kNak), Step::SendBlock);
  ASSERT_EQ(sender.OnAnswer(kAck), Step::SendNextBlock);
  for (int i = 0; i < XmodemSender::kMaxRefusals - 1; ++i)
    ASSERT_EQ(sender.OnAnswer(kNak), Step::SendBlock);
  EXPECT_EQ(sender.OnAnswer(kNak), Step::GiveUp);
  EXPECT_EQ(sender.OnAnswer(kAck), Step::Nothing);
  EXPECT_EQ(sender.OnAnswer(kNak), Step::Nothing);
}

TEST(XmodemSender, SilenceSendsOnceMoreThenGivesUp) {
  const PaddedImage image = PadImage(FileOf(300));  // 3 blocks
  XmodemSender notAsked(image);
  EXPECT_EQ(notAsked.OnSilence(), Step::GiveUp) << "the receiver never asked for a block";

  XmodemSender sender(image);
  ASSERT_EQ(sender.OnAnswer(kCrcRequest), Step::SendBlock);
  EXPECT_EQ(sender.OnSilence(), Step::SendBlock);
  // An answer starts the count again.
  ASSERT_EQ(sender.OnAnswer(kAck), Step::SendNextBlock);
  EXPECT_EQ(sender.OnSilence(), Step::SendBlock);
  ASSERT_EQ(sender.OnAnswer(kNak), Step::SendBlock);
  EXPECT_EQ(sender.OnSilence(), Step::SendBlock);
  ASSERT_EQ(sender.OnAnswer(kAck), Step::SendNextBlock);
  ASSERT_EQ(sender.OnAnswer(kAck), Step::SendEot);
  EXPECT_EQ(sender.OnSilence(), Step::SendEot);
  EXPECT_EQ(sender.OnSilence(), Step::GiveUp);
  EXPECT_EQ(sender.OnAnswer(kAck), Step::Nothing);
  EXPECT_EQ(sender.OnSilence(), Step::Nothing);
}

TEST(XmodemSender, GivesUpWhenTheEndOfTransmissionIsNeverAccepted) {
  const PaddedImage image = PadImage(FileOf(100));  // 1 block
  XmodemSender sender(image);
  ASSERT_EQ(sender.OnAnswer(kCrcRequest), Step::SendBlock);
  ASSERT_EQ(sender.OnAnswer(kAck), Step::SendEot);
  for (int i = 0; i < XmodemSender::kMaxRefusals - 1; ++i)
    ASSERT_EQ(sender.OnAnswer(kNak), Step::SendEot);
  EXPECT_EQ(sender.OnAnswer(kNak), Step::GiveUp);
}

}  // namespace
}  // namespace loaders::xmodem
