// CRC-16/XMODEM and the strict XMODEM-CRC block receiver.
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "sim/xmodem_crc.h"
#include "sim/xmodem_receiver.h"

namespace sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Event = XmodemReceiver::Event;

Bytes Text(std::string_view text) { return {text.begin(), text.end()}; }

struct CrcCase {
  const char* name;
  Bytes bytes;
  std::uint16_t expected;
};

class XmodemCrc : public ::testing::TestWithParam<CrcCase> {};

TEST_P(XmodemCrc, KnownAnswers) {
  EXPECT_EQ(Crc16Xmodem(GetParam().bytes), GetParam().expected) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Published, XmodemCrc,
                         ::testing::Values(CrcCase{"check value", Text("123456789"), 0x31C3},
                                           CrcCase{"nothing", {}, 0x0000},
                                           CrcCase{"one letter", Text("A"), 0x58E5},
                                           CrcCase{"128 bytes of 0xFF", Bytes(128, 0xFF), 0xEDA9}));

// A block as a sender writes it: SOH, number, complement, data, CRC high, low.
Bytes Block(std::uint8_t number, std::uint8_t fill = 0x5A) {
  Bytes frame(XmodemReceiver::kFrameSize, fill);
  frame[0] = kSoh;
  frame[1] = number;
  frame[2] = static_cast<std::uint8_t>(255 - number);
  frame[3] = number;  // data that differs from block to block
  const std::uint16_t crc = Crc16Xmodem(std::span(frame).subspan(3, 128));
  frame[131] = static_cast<std::uint8_t>(crc >> 8);
  frame[132] = static_cast<std::uint8_t>(crc);
  return frame;
}

// Feeds bytes and returns the events that were not kNone.
std::vector<Event> Feed(XmodemReceiver& receiver, const Bytes& bytes) {
  std::vector<Event> events;
  for (const std::uint8_t byte : bytes) {
    const Event event = receiver.Feed(byte);
    if (event != Event::kNone) events.push_back(event);
  }
  return events;
}

struct ReceiverCase {
  const char* name;
  int acceptedBefore;  ///< blocks 1..n already taken
  Bytes bytes;
  std::vector<Event> expected;
};

Bytes Damaged(Bytes frame, std::size_t at) {
  frame[at] ^= 0x10;
  return frame;
}

Bytes Joined(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

class Receiver : public ::testing::TestWithParam<ReceiverCase> {};

TEST_P(Receiver, JudgesWhatArrives) {
  XmodemReceiver receiver;
  for (int k = 1; k <= GetParam().acceptedBefore; ++k) {
    ASSERT_EQ(Feed(receiver, Block(static_cast<std::uint8_t>(k))),
              std::vector<Event>{Event::kBlock});
    receiver.Accept();
  }
  EXPECT_EQ(Feed(receiver, GetParam().bytes), GetParam().expected) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Receiver,
    ::testing::Values(ReceiverCase{"first block", 0, Block(1), {Event::kBlock}},
                      ReceiverCase{"data damaged", 0, Damaged(Block(1), 40), {Event::kBad}},
                      ReceiverCase{"CRC damaged", 0, Damaged(Block(1), 132), {Event::kBad}},
                      ReceiverCase{"complement wrong", 0, Damaged(Block(1), 2), {Event::kBad}},
                      ReceiverCase{"block skipped", 1, Block(3), {Event::kBad}},
                      ReceiverCase{"block 0 before any block", 0, Block(0), {Event::kBad}},
                      ReceiverCase{"previous block again", 2, Block(2), {Event::kDuplicate}},
                      ReceiverCase{"older block", 3, Block(1), {Event::kBad}},
                      ReceiverCase{"block not accepted comes again",
                                   0,
                                   Joined({Block(1), Block(1)}),
                                   {Event::kBlock, Event::kBlock}},
                      ReceiverCase{"a line of noise is refused once",
                                   1,
                                   Joined({Text("5836\r\n"), Block(2)}),
                                   {Event::kBad, Event::kBlock}},
                      ReceiverCase{"EOT between blocks", 1, Bytes{kEot}, {Event::kEnd}},
                      ReceiverCase{
                          "EOT inside a block is data", 0, Joined({Bytes{kSoh, 1, 254, kEot}}), {}},
                      ReceiverCase{"block 256 is numbered 0", 255, Block(0), {Event::kBlock}},
                      ReceiverCase{"block 257 is numbered 1", 256, Block(1), {Event::kBlock}}));

}  // namespace
}  // namespace sim
