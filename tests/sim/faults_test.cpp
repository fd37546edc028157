#include "sim/faults.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace sim {
namespace {

TEST(FaultGrammar, ParsesKindTargetOccurrenceAndRepeat) {
  const auto once = ParseFault("nak:rx@3");
  ASSERT_TRUE(once);
  EXPECT_EQ(once->kind, FaultKind::kNak);
  EXPECT_EQ(once->target, "rx");
  EXPECT_EQ(once->occurrence, 3u);
  EXPECT_FALSE(once->repeat);

  const auto text = ParseFault("refuse:A.2001+");
  ASSERT_TRUE(text);
  EXPECT_EQ(text->target, "2001");
  EXPECT_EQ(text->occurrence, 1u);
  EXPECT_TRUE(text->repeat);

  for (const char* bad : {"", "nak", "bogus:rx", "nak:", "nak:rx@", "nak:rx@0", "nak:rx@x", "nak:@2"}) {
    EXPECT_FALSE(ParseFault(bad)) << bad;
  }
}

TEST(FaultPlan, FiresOnTheNthOccurrenceOnceOrFromThenOn) {
  FaultPlan plan;
  plan.Add(*ParseFault("nak:erase@2"));
  plan.Add(*ParseFault("noack:rx@2+"));
  EXPECT_EQ(plan.Next("erase"), FaultKind::kNone);
  EXPECT_EQ(plan.Next("erase"), FaultKind::kNak);
  EXPECT_EQ(plan.Next("erase"), FaultKind::kNone);
  EXPECT_EQ(plan.Next("rx"), FaultKind::kNone);
  EXPECT_EQ(plan.Next("rx"), FaultKind::kNoAck);
  EXPECT_EQ(plan.Next("rx"), FaultKind::kNoAck);
}

TEST(FaultPlan, SilenceLastsForEverything) {
  FaultPlan plan;
  plan.Add(*ParseFault("silence:2001"));
  EXPECT_EQ(plan.Next("A.2000"), FaultKind::kNone);
  EXPECT_EQ(plan.Next("A.2001"), FaultKind::kSilence);
  EXPECT_EQ(plan.Next("sync"), FaultKind::kSilence);
  EXPECT_TRUE(plan.Silenced());
}

TEST(GarbageBytes, NeverFormAMarkOrAFrameByte) {
  const auto noise = GarbageBytes(64);
  ASSERT_EQ(noise.size(), 64u);
  for (const int bad : std::initializer_list<int>{0x80, 0x90, 0xA0, 0x00, 0x51, '!', '?', '\r', '\n', '.', 'h', 'I', 'A'}) {
    EXPECT_EQ(std::count(noise.begin(), noise.end(), bad), 0) << int{bad};
  }
}

}  // namespace
}  // namespace sim
