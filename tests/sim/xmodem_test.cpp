// CRC-16/XMODEM and the strict XMODEM-CRC block receiver.
#include <gtest/gtest.h>

#include <optional>
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

// Feeds bytes at `now` and returns the events that were not kNone.
std::vector<Event> Feed(XmodemReceiver& receiver, const Bytes& bytes, platform::Tick now = 0) {
  std::vector<Event> events;
  for (const std::uint8_t byte : bytes) {
    const Event event = receiver.Feed(byte, now);
    if (event != Event::kNone) events.push_back(event);
  }
  return events;
}

// What arrives in one go, then the line stays quiet long enough for a purge
// to end, then what arrives after that.
struct ReceiverCase {
  const char* name;
  int acceptedBefore;  ///< blocks 1..n already taken
  Bytes bytes;
  Bytes afterQuiet;
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

Bytes Cut(const Bytes& frame, std::size_t keep) { return {frame.begin(), frame.begin() + keep}; }

// A block whose data holds an EOT byte, as any binary image may.
Bytes BlockWithEot(std::uint8_t number) {
  Bytes frame = Block(number, kEot);
  const std::uint16_t crc = Crc16Xmodem(std::span(frame).subspan(3, 128));
  frame[131] = static_cast<std::uint8_t>(crc >> 8);
  frame[132] = static_cast<std::uint8_t>(crc);
  return frame;
}

class Receiver : public ::testing::TestWithParam<ReceiverCase> {};

TEST_P(Receiver, JudgesWhatArrives) {
  XmodemReceiver receiver(0);
  for (int k = 1; k <= GetParam().acceptedBefore; ++k) {
    ASSERT_EQ(Feed(receiver, Block(static_cast<std::uint8_t>(k))),
              std::vector<Event>{Event::kBlock});
    receiver.Accept();
  }
  std::vector<Event> events = Feed(receiver, GetParam().bytes);
  const platform::Tick quiet = XmodemReceiver::kQuietMs;
  if (const Event event = receiver.Poll(quiet - 1); event != Event::kNone) events.push_back(event);
  if (const Event event = receiver.Poll(quiet); event != Event::kNone) events.push_back(event);
  for (const Event event : Feed(receiver, GetParam().afterQuiet, quiet)) events.push_back(event);
  EXPECT_EQ(events, GetParam().expected) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Receiver,
    ::testing::Values(
        ReceiverCase{"first block", 0, Block(1), {}, {Event::kBlock}},
        ReceiverCase{"data damaged", 0, Damaged(Block(1), 40), {}, {Event::kBad}},
        ReceiverCase{"CRC damaged", 0, Damaged(Block(1), 132), {}, {Event::kBad}},
        ReceiverCase{"complement wrong", 0, Damaged(Block(1), 2), {}, {Event::kBad}},
        ReceiverCase{"block skipped", 1, Block(3), {}, {Event::kBad}},
        ReceiverCase{"block 0 before any block", 0, Block(0), {}, {Event::kBad}},
        ReceiverCase{"previous block again", 2, Block(2), {}, {Event::kDuplicate}},
        ReceiverCase{"older block", 3, Block(1), {}, {Event::kBad}},
        ReceiverCase{"block not accepted comes again",
                     0,
                     Joined({Block(1), Block(1)}),
                     {},
                     {Event::kBlock, Event::kBlock}},
        ReceiverCase{"a line of noise is refused once, when the line is quiet",
                     1,
                     Joined({Text("5836\r\n"), Block(2)}),
                     Block(2),
                     {Event::kBad, Event::kBlock}},
        ReceiverCase{"an EOT in the data behind a stray byte ends nothing",
                     1,
                     Joined({Bytes{0x55}, BlockWithEot(2)}),
                     BlockWithEot(2),
                     {Event::kBad, Event::kBlock}},
        ReceiverCase{"a block cut short is refused when the line is quiet",
                     1,
                     Cut(BlockWithEot(2), 60),
                     Bytes{kEot},
                     {Event::kBad, Event::kEnd}},
        ReceiverCase{"EOT between blocks", 1, Bytes{kEot}, {}, {Event::kEnd}},
        ReceiverCase{"EOT inside a block is data", 0, Bytes{kSoh, 1, 254, kEot}, {}, {Event::kBad}},
        ReceiverCase{"block 256 is numbered 0", 255, Block(0), {}, {Event::kBlock}},
        ReceiverCase{"block 257 is numbered 1", 256, Block(1), {}, {Event::kBlock}}));

// Until a block comes the receiver asks again every 3 s of quiet, and after a
// minute it gives the transfer up; once a block is taken it asks no more.
TEST(ReceiverTimes, AsksEveryThreeSecondsUntilABlockAndGivesUpAfterAMinute) {
  XmodemReceiver waiting(1000);
  std::vector<platform::Tick> asked;
  platform::Tick now = 1000;
  Event event = Event::kNone;
  while (event != Event::kGiveUp && now < 100000) {
    const std::optional<platform::Tick> due = waiting.Deadline();
    ASSERT_TRUE(due);
    EXPECT_EQ(waiting.Poll(*due - 1), Event::kNone);
    now = *due;
    event = waiting.Poll(now);
    if (event == Event::kAskAgain) asked.push_back(now - 1000);
  }
  EXPECT_EQ(event, Event::kGiveUp);
  EXPECT_EQ(now, 61000u);
  ASSERT_EQ(asked.size(), 19u);
  EXPECT_EQ(asked.front(), 3000u);
  EXPECT_EQ(asked.back(), 57000u);

  XmodemReceiver receiving(0);
  ASSERT_EQ(Feed(receiving, Block(1), 2000), std::vector<Event>{Event::kBlock});
  receiving.Accept();
  EXPECT_EQ(receiving.Poll(5000), Event::kNone) << "no \"C\" once a block came";
  EXPECT_EQ(receiving.Poll(2000 + 60000), Event::kNone);
  EXPECT_FALSE(receiving.Deadline());
}

}  // namespace
}  // namespace sim
