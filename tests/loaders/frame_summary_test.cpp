// The run log's one-line summary of what a conversation writes.
#include "loaders/frame_summary.h"

#include <gtest/gtest.h>

#include <vector>

#include "loaders/bsl_frames.h"

namespace loaders {
namespace {

using Frame = std::vector<std::uint8_t>;

Frame Classic(std::uint8_t command, const Frame& payload) {
  std::uint8_t out[classic::kMaxFrame];
  return Frame(out, out + classic::BuildFrame(command, payload, out));
}

Frame Bsl5xx(std::uint8_t command, std::uint32_t address, const Frame& data) {
  std::uint8_t core[bsl5xx::kMaxFrame];
  const std::size_t n = bsl5xx::BuildCore(command, address, data, core);
  std::uint8_t out[bsl5xx::kMaxFrame];
  return Frame(out, out + bsl5xx::BuildFrame({core, n}, out));
}

Frame XmodemBlock(std::uint8_t number) {
  Frame block{0x02, number, static_cast<std::uint8_t>(0xFF - number)};
  block.resize(1029, 0x1A);
  return block;
}

TEST(FrameSummary, EachShapeItsLine) {
  Frame data(4, 0x3F);
  Frame block{0x00, 0xF8, 0x04, 0x00};
  block.insert(block.end(), data.begin(), data.end());
  Frame badChecksum = Classic(classic::RxDataBlock, block);
  badChecksum.back() ^= 1;
  const struct {
    Frame frame;
    const char* summary;
  } cases[] = {
      {Classic(classic::RxDataBlock, block), "BSL 0x12 RX data block, address 0xF800, 4 bytes"},
      {Classic(classic::EraseSegment, {0x00, 0xFC, 0x02, 0xA5}), "BSL 0x16 erase, address 0xFC00"},
      {Classic(classic::TxBslVersion, {0x58, 0x58, 0x58, 0x58}), "BSL 0x1E TX BSL version"},
      {Bsl5xx(bsl5xx::RxDataBlock, 0x8000, data),
       "BSL5 0x10 RX data block, address 0x008000, 4 bytes"},
      {Bsl5xx(bsl5xx::TxBslVersion, 0, {}), "BSL5 0x19 TX BSL version"},
      {XmodemBlock(3), "XMODEM block 3, 1024 bytes"},
      {{0x04}, "XMODEM end of transmission"},
      {{0x80}, "byte 0x80"},
      {badChecksum, "14 bytes"},  // not taken for a frame it only resembles
  };
  for (const auto& c : cases) EXPECT_EQ(SummariseFrame(c.frame), c.summary);
}

}  // namespace
}  // namespace loaders
