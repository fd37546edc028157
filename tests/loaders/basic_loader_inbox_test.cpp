// The Basic-Loader's lines in the received text: every row, in table order,
// taken out once per match; replies split over reads; a full buffer of noise.
#include "loaders/basic_loader_inbox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "updater/event_codes.h"

namespace loaders {
namespace {

using namespace std::string_literals;
using namespace updater;

std::vector<std::int32_t> Match(BasicLoaderInbox& inbox) {
  std::vector<std::int32_t> events;
  inbox.Match([&](std::int32_t event) { events.push_back(event); });
  return events;
}

struct Row {
  std::string text;
  std::int32_t event;
};

TEST(BasicLoaderInboxTest, EveryRowRaisesItsEventAndIsTakenOut) {
  const Row rows[] = {
      {"Basic-Loader  |", EV_BL_SIGN_ON},
      {"Basic-Loader / 1.01", EV_BL_VERSION},
      {"Basic-Loader / 1.02", EV_BL_VERSION},
      {"Flash-Memory erased !", EV_BL_ERASED},
      {"Flash-Memory (1/2) erased !", EV_BL_HALF_ERASED},
      {"Flash-Memory programmed", EV_BL_PROGRAMMED},
      {"Waiting for S-Record !", EV_BL_WAITING},
      {"S-Record defect!", EV_BL_DEFECT},
      {"Record defekt!", EV_BL_DEFECT},
      {"Ready PC ?  Seg=0", EV_BL_READY_SEG0},
      {"Ready PC ?  Seg=1", EV_BL_READY_SEG1},
      {"Erasing Flash-Memory (1) !", EV_BL_ERASING},
      {"Erasing Flash-Memory (2) !", EV_BL_ERASING},
      {"Flash-Memory (1) programmed !", EV_BL_PROGRAMMED},
      {"Flash-Memory (2) programmed !", EV_BL_PROGRAMMED},
      {"\xA1\x48\x20\x14"s, EV_BL_PROGRAMMED},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    BasicLoaderInbox inbox;
    inbox.Append("\r\n" + row.text + "\r\n");
    EXPECT_EQ(Match(inbox), std::vector<std::int32_t>{row.event});
    EXPECT_EQ(inbox.Text(), "\r\n\r\n");
  }
}

TEST(BasicLoaderInboxTest, ReplySplitOverTwoReadsIsRecognisedOnceComplete) {
  BasicLoaderInbox inbox;
  inbox.Append("Basic-Load");
  EXPECT_TRUE(Match(inbox).empty());
  inbox.Append("er / 1.02\r\n");
  EXPECT_EQ(Match(inbox), std::vector<std::int32_t>{EV_BL_VERSION});
  EXPECT_TRUE(Match(inbox).empty());
}

TEST(BasicLoaderInboxTest, TwoRepliesInOneBufferRaiseBothInTableOrder) {
  BasicLoaderInbox inbox;
  inbox.Append("Erasing Flash-Memory (1) !\r\nWaiting for S-Record !\r\n");
  EXPECT_EQ(Match(inbox), (std::vector<std::int32_t>{EV_BL_WAITING, EV_BL_ERASING}));
  EXPECT_EQ(inbox.Text(), "\r\n\r\n");
}

TEST(BasicLoaderInboxTest, SecondCopyOfAReplyWaitsForTheNextMatch) {
  BasicLoaderInbox inbox;
  inbox.Append("Waiting for S-Record !\r\nWaiting for S-Record !\r\n");
  EXPECT_EQ(Match(inbox), std::vector<std::int32_t>{EV_BL_WAITING});
  EXPECT_EQ(inbox.Text(), "\r\nWaiting for S-Record !\r\n");
  EXPECT_EQ(Match(inbox), std::vector<std::int32_t>{EV_BL_WAITING});
}

// Noise that matches nothing fills the buffer: the oldest bytes give way and a
// reply behind the noise is still found, read by read as the port delivers.
TEST(BasicLoaderInboxTest, FullBufferDropsOldestBytesAndKeepsMatching) {
  BasicLoaderInbox inbox;
  const std::string noise(3 * BasicLoaderInbox::kCapacity, '#');
  const std::string stream = noise + "Flash-Memory (2) programmed !\r\n";
  std::vector<std::int32_t> events;
  for (std::size_t at = 0; at < stream.size(); at += BasicLoaderInbox::kReadSize) {
    const std::string read = stream.substr(at, BasicLoaderInbox::kReadSize);
    std::uint8_t* to = inbox.MakeRoom();
    std::copy(read.begin(), read.end(), to);
    inbox.Added(read.size());
    ASSERT_LE(inbox.Text().size(), BasicLoaderInbox::kCapacity);
    inbox.Match([&](std::int32_t event) { events.push_back(event); });
  }
  EXPECT_EQ(events, std::vector<std::int32_t>{EV_BL_PROGRAMMED});
  EXPECT_EQ(inbox.Text().substr(inbox.Text().size() - 2), "\r\n");
}

TEST(BasicLoaderInboxTest, NumberedReplyTwoAbortsOnceItsLineIsComplete) {
  struct Case {
    std::string text;
    std::vector<std::int32_t> events;
    std::string left;
  };
  const Case cases[] = {
      {"I.2#abort\r\n", {RP_ABORT}, ""},
      {"xxB. 2$0\r\nrest", {RP_ABORT}, "xxrest"},
      {"I.2#abort", {}, "I.2#abort"},            // the line is not complete yet
      {"I.20#28101\r\n", {}, "I.20#28101\r\n"},  // another reply
      {"I.12\r\nI.2\r\n", {RP_ABORT}, "I.12\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    BasicLoaderInbox inbox;
    inbox.Append(c.text);
    EXPECT_EQ(Match(inbox), c.events);
    EXPECT_EQ(inbox.Text(), c.left);
  }
}

}  // namespace
}  // namespace loaders
