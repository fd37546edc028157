// The reply parser on bytes as they come from the port.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "updater/reply_parser.h"

namespace updater {
namespace {

// One posted event as a handler sees it while the queue is drained.
struct Seen {
  std::int32_t code;
  std::string text;  // the reply or frame text, the value, or the byte
  friend bool operator==(const Seen&, const Seen&) = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& s) { return out << s.code << " '" << s.text << "'"; }

class ReplyParserTest : public ::testing::Test, private ReplyListener {
 protected:
  ReplyParserTest() : parser_(events_, *this) {}

  // Feeds the bytes from port position `position` and drains the queue.
  std::vector<Seen> Feed(std::string_view bytes, int position = 0) {
    parser_.Feed(bytes.data(), static_cast<int>(bytes.size()), position);
    std::vector<Seen> seen;
    for (core::TEventRecord e = events_.FetchEvent(); !e.Empty(); e = events_.FetchEvent()) seen.push_back(Describe(e));
    return seen;
  }

  Seen Describe(const core::TEventRecord& e) const {
    if (e.Code == EV_ACKNOWLEDGE || e.Code == EV_REPLY_LINE || e.Code == EV_NEGATIVE) return {e.Code, ""};
    if (e.Code == EV_LAB_ANSWER) return {e.Code, std::to_string(static_cast<std::intptr_t>(e.Data))};
    if (valueCodes_.count(e.Code)) return {e.Code, std::to_string(*reinterpret_cast<const float*>(e.Data))};
    return {e.Code, e.Text()};
  }

  core::TEvents events_;
  TReplyParser parser_;
  std::vector<std::string> logged_;
  std::vector<int> answers_;
  std::set<std::int32_t> valueCodes_;

 private:
  void LogReply(std::string_view text) override { logged_.emplace_back(text); }
  void AnswerFrom(int position) override { answers_.push_back(position); }
};

TEST_F(ReplyParserTest, LinesPostTheEventsOfTheirMarks) {
  struct Case {
    std::string bytes;
    std::vector<Seen> events;
  };
  const std::vector<Case> cases = {
      {"I.2010#28101.000\r\n", {{2010, "28101.000"}}},
      {"B.25#\r\n", {{25, ""}}},
      {"I.25\r\n", {{25, ""}}},
      {"!\r\n", {{EV_ACKNOWLEDGE, ""}}},
      {"I.0#x\r\n", {}},
      {"no marks at all\r\n", {}},
      {"A.1000?\r\n", {{EV_REPLY_LINE, ""}, {EV_NEGATIVE, ""}}},
      {"I. -7#neg\r\n", {{-7, "neg"}}},
      // Numbers in the program's own range are no replies: they must never
      // pass for a step of the run (10050 would start a transfer, 10021 abort).
      {"I.10050#x\r\n", {}},
      {"I.10021#\r\n", {}},
      {"B.10000$1.5\r\n", {}},
      {"I.9999#last\r\n", {{9999, "last"}}},
  };
  for (const Case& c : cases) EXPECT_EQ(Feed(c.bytes), c.events) << c.bytes;
  // Zero bytes are blanks, so binary data cannot end a text early.
  EXPECT_EQ(Feed(std::string("I.20#a\0b\r\n", 10)), (std::vector<Seen>{{20, "a b"}}));
}

TEST_F(ReplyParserTest, ValueRepliesCarryTheirNumber) {
  valueCodes_ = {80};
  EXPECT_EQ(Feed("A.80$1.5\r\n"), (std::vector<Seen>{{80, std::to_string(1.5f)}, {EV_REPLY_LINE, ""}}));
  EXPECT_EQ(Feed("A.80$ -2e1x\r\n"), (std::vector<Seen>{{80, std::to_string(-20.0f)}, {EV_REPLY_LINE, ""}}));
  EXPECT_EQ(Feed("A.80$nan\r\n"), (std::vector<Seen>{{80, std::to_string(0.0f)}, {EV_REPLY_LINE, ""}}));
}

TEST_F(ReplyParserTest, RepliesSplitOverReadsArePostedOnceComplete) {
  EXPECT_TRUE(Feed("I.20#28").empty());
  EXPECT_EQ(Feed("101.000"), std::vector<Seen>{});
  EXPECT_EQ(Feed("\r\n"), (std::vector<Seen>{{20, "28101.000"}}));
  EXPECT_EQ(parser_.ReceivedCount(), 0);
}

TEST_F(ReplyParserTest, TwoRepliesInOneReadKeepTheirOwnTexts) {
  EXPECT_EQ(Feed("I.23#22075.000\r\nI.20#28101.000\r\n!\r\n"),
            (std::vector<Seen>{{23, "22075.000"}, {20, "28101.000"}, {EV_ACKNOWLEDGE, ""}}));
  EXPECT_EQ(logged_, (std::vector<std::string>{"I.23#22075.000 <-", "I.20#28101.000 <-", "! <-"}));
}

TEST_F(ReplyParserTest, AcknowledgementNamesTheAnsweringPort) {
  Feed("I.20#x\r\n", 1);
  EXPECT_TRUE(answers_.empty());
  Feed("!\r\n", 2);
  EXPECT_EQ(answers_, (std::vector<int>{2}));
}

// The EMF boot loader answers the search's probe with its version (reply 251).
TEST_F(ReplyParserTest, TheEmfBootLoadersVersionNamesTheAnsweringPort) {
  EXPECT_EQ(Feed("?\r\nI.251#1.05\r\n", 3), (std::vector<Seen>{{EV_NEGATIVE, ""}, {RP_BOOT_LOADER_VERSION, "1.05"}}));
  EXPECT_EQ(answers_, (std::vector<int>{3}));
  EXPECT_FALSE(parser_.AnswerSeen()) << "no MSP430 or Lab boot loader was seen";
}

TEST_F(ReplyParserTest, BootLoaderFrameOnceItsStopByteArrived) {
  const std::string frame = std::string("\x68" "11\x68" "xy\x1E" "ABC\x0A" "zz", 12);
  EXPECT_TRUE(Feed(frame).empty());
  EXPECT_FALSE(parser_.AnswerSeen());
  EXPECT_EQ(Feed("\x16"), (std::vector<Seen>{{EV_BOOT_FRAME, "ABC"}}));
  EXPECT_TRUE(parser_.AnswerSeen());
  ASSERT_FALSE(answers_.empty());
  EXPECT_EQ(answers_.front(), 0);
  EXPECT_EQ(parser_.ReceivedCount(), 0);
}

TEST_F(ReplyParserTest, FrameTextIsCutTo99Bytes) {
  const std::string frame = std::string("\x68" "00\x68\x1D", 5) + std::string(150, 't') + "\x0C\x16";
  const std::vector<Seen> seen = Feed(frame);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, std::string(99, 't'));
}

TEST_F(ReplyParserTest, LabAnswerBytesEmptyTheBuffer) {
  EXPECT_EQ(Feed("xxQ"), (std::vector<Seen>{{EV_LAB_ANSWER, std::to_string('Q')}}));
  EXPECT_EQ(parser_.ReceivedCount(), 0);
  EXPECT_EQ(Feed("Q\x90"), (std::vector<Seen>{{EV_LAB_ANSWER, "-112"}}));  // 0x90 wins, sign-extended
  EXPECT_TRUE(parser_.AnswerSeen());
}

TEST_F(ReplyParserTest, AQInsideAWaitingCompleteLineIsPartOfThatLine) {
  EXPECT_EQ(Feed("I.20#x\r\nI.25#Q17\r\n"), (std::vector<Seen>{{20, "x"}, {25, "Q17"}}));
  EXPECT_FALSE(parser_.AnswerSeen());
}

TEST_F(ReplyParserTest, AFullBufferDropsItsOldestBytes) {
  Feed(std::string(990, 'n'));
  parser_.MakeRoom(TReplyParser::kReadSize);
  EXPECT_LE(parser_.ReceivedCount() + TReplyParser::kReadSize, TReplyParser::kCapacity);
  EXPECT_EQ(Feed(std::string(1500, 'n') + "I.21#1.23\r\n"), (std::vector<Seen>{{21, "1.23"}}));
}

TEST_F(ReplyParserTest, ReplyTextIsCutTo255Bytes) {
  const std::vector<Seen> seen = Feed("I.25#" + std::string(400, 's') + "\r\n");
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text.size(), 255u);
}

}  // namespace
}  // namespace updater
