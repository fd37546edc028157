#include "loaders/bsl_frames.h"

#include <gtest/gtest.h>

#include <vector>

#include "loaders/bsl430.h"
#include "loaders/bsl54xx430.h"
#include "loaders/bsl_session.h"
#include "loaders/loader_texts.h"

namespace loaders {
namespace {

using Frame = std::vector<std::uint8_t>;

Frame Classic(std::uint8_t command, const Frame& payload) {
  std::uint8_t out[classic::kMaxFrame];
  return Frame(out, out + classic::BuildFrame(command, payload, out));
}

Frame Core5xx(std::uint8_t command, std::uint32_t address, const Frame& data) {
  std::uint8_t core[bsl5xx::kMaxFrame];
  const std::size_t n = bsl5xx::BuildCore(command, address, data, core);
  std::uint8_t out[bsl5xx::kMaxFrame];
  return Frame(out, out + bsl5xx::BuildFrame({core, n}, out));
}

TEST(BslFrames, PublishedClassicFrames) {
  EXPECT_EQ(Classic(classic::TxBslVersion, {0x58, 0x58, 0x58, 0x58}),
            (Frame{0x80, 0x1E, 0x04, 0x04, 0x58, 0x58, 0x58, 0x58, 0x7B, 0xE5}));
  // The read example of the boot loader's guide.
  EXPECT_EQ(Classic(classic::TxDataBlock, {0x00, 0x0F, 0x0E, 0x00}),
            (Frame{0x80, 0x14, 0x04, 0x04, 0x00, 0x0F, 0x0E, 0x00, 0x75, 0xE0}));
  Frame password(36, 0xFF);
  password[34] = 0x04;
  password[35] = 0x0C;
  const Frame frame = Classic(classic::RxPassword, password);
  ASSERT_EQ(frame.size(), 42u);
  EXPECT_EQ(frame[40], 0xA0);
  EXPECT_EQ(frame[41], 0x38);
  EXPECT_TRUE(classic::ChecksumMatches(frame));
  Frame broken = frame;
  broken[10] ^= 0x01;
  EXPECT_FALSE(classic::ChecksumMatches(broken));
}

TEST(BslFrames, Crc16AndPublished5xxFrames) {
  const std::uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(bsl5xx::Crc16Ccitt(check), 0x29B1);
  EXPECT_EQ(Core5xx(bsl5xx::TxBslVersion, 0, {}), (Frame{0x80, 0x01, 0x00, 0x19, 0xE8, 0x62}));
  EXPECT_EQ(Core5xx(bsl5xx::TxDataBlock, 0x1A04, {0x04, 0x00}),
            (Frame{0x80, 0x06, 0x00, 0x18, 0x04, 0x1A, 0x00, 0x04, 0x00, 0x18, 0x2F}));
  const Frame frame = Core5xx(bsl5xx::RxPassword, 0, Frame(32, 0xFF));
  EXPECT_EQ(frame.size(), 38u);  // NL 33
  EXPECT_TRUE(bsl5xx::CrcMatches(frame));
  EXPECT_TRUE(bsl5xx::IsErrorByte(0x51));
  EXPECT_FALSE(bsl5xx::IsErrorByte(0x00));
  EXPECT_FALSE(bsl5xx::IsErrorByte(0x80));
}

TEST(BslPassword5xx, GroupsOfSixFromTheReplyText) {
  auto words = T_BSL_54XX_430::PasswordFromText("0xC04");
  EXPECT_EQ(words[15], 0x0C04);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(words[static_cast<std::size_t>(i)], 0xFFFF);
  words = T_BSL_54XX_430::PasswordFromText("0x11110x2222");
  EXPECT_EQ(words[15], 0x1111);
  EXPECT_EQ(words[14], 0x2222);
  EXPECT_EQ(words[13], 0xFFFF);
}

TEST(RetryHistory, SameActionGetsThreeRetriesOverTheRun) {
  RetryHistory<int, 3> history;
  EXPECT_TRUE(history.Admit(8));
  EXPECT_TRUE(history.Admit(8));
  EXPECT_TRUE(history.Admit(8));
  EXPECT_FALSE(history.Admit(8));

  // Another action taking slot 1 in between gives one more.
  RetryHistory<int, 3> mixed;
  EXPECT_TRUE(mixed.Admit(8));
  EXPECT_TRUE(mixed.Admit(8));
  EXPECT_TRUE(mixed.Admit(5));  // slot 1
  EXPECT_TRUE(mixed.Admit(8));  // slot 1 again
  EXPECT_TRUE(mixed.Admit(8));  // slot 3
  EXPECT_FALSE(mixed.Admit(8));
}

TEST(LoaderTexts, ResultCodesAndMessagesByStep) {
  struct Row {
    std::int32_t step, code;
  };
  for (const Row& r : {Row{0, 16}, Row{1, 1}, Row{8, 8}, Row{15, 15}, Row{16, 16}, Row{17, 17}, Row{42, 16}}) {
    EXPECT_EQ(FailureCode(r.step), r.code) << r.step;
  }
  EXPECT_EQ(StepErrorText(8, 1), "Error in bootloader !!  Programming abort.");
  EXPECT_EQ(StepErrorText(17, 0),
            "Bootloader im Zielger\xE4t nicht verf\xFCgbar!!  Programmierung wurde abgebrochen.");
  const auto message = FileErrorMessage(TiTxtError::LineTooLong, "FW.TXT", 12, 1);
  EXPECT_NE(message.view().find("FW.TXT"), std::string_view::npos);
  EXPECT_NE(message.view().find("line 12"), std::string_view::npos);
}

// The clock of the baud-rate command follows the chip's family; the two
// named 2xx chips and the 4xx family keep the bytes they always had.
TEST(ClassicBaudChange, ClockBytesFollowTheChipFamily) {
  const std::pair<std::int32_t, ClockBytes> cases[] = {
      {0xF16C, {0xE0, 0x87}}, {0xF149, {0xE0, 0x87}}, {0xF26F, {0x80, 0x8C}}, {0xF237, {0x80, 0x8C}},
      {0xF227, {0x80, 0x8C}}, {0xF427, {0x00, 0xC8}}, {0xF449, {0x00, 0xC8}}, {0x1234, {0x00, 0xC8}},
  };
  for (const auto& [chip, bytes] : cases) EXPECT_EQ(ClockFor38400(chip), bytes) << std::hex << chip;
}

}  // namespace
}  // namespace loaders
