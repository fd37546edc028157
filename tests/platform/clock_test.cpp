#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>

namespace platform {
namespace {

TEST(Clock, TickComparisonsSurviveTheWrapAround) {
  EXPECT_TRUE(TickReached(5, 5));
  EXPECT_TRUE(TickReached(10, 5));
  EXPECT_FALSE(TickReached(5, 10));
  EXPECT_TRUE(TickReached(3, 0xFFFFFFF0u));   // now wrapped past the deadline
  EXPECT_FALSE(TickReached(0xFFFFFFF0u, 3));  // deadline lies beyond the wrap
  EXPECT_EQ(TicksUntil(0xFFFFFFF0u, 3), 19u);
  EXPECT_EQ(TicksUntil(10, 5), 0u);
}

TEST(Clock, TimeScaleParsing) {
  EXPECT_EQ(ParseTimeScale(nullptr), 1.0);
  EXPECT_EQ(ParseTimeScale(""), 1.0);
  EXPECT_EQ(ParseTimeScale("20"), 20.0);
  EXPECT_EQ(ParseTimeScale("2.5"), 2.5);
  EXPECT_EQ(ParseTimeScale("0.5"), 1.0);  // never slower than real time
  EXPECT_EQ(ParseTimeScale("-4"), 1.0);
  EXPECT_EQ(ParseTimeScale("fast"), 1.0);
  EXPECT_EQ(ParseTimeScale("20x"), 1.0);
}

TEST(Clock, ScaledClockShortensSleepsAndAdvancesFaster) {
  const auto clock = MakeSteadyClock(20.0);
  const auto t0 = std::chrono::steady_clock::now();
  const Tick before = clock->Now();
  clock->Sleep(1000);
  const auto real = std::chrono::steady_clock::now() - t0;
  EXPECT_GE(clock->Now() - before, 1000u);
  EXPECT_GE(real, std::chrono::milliseconds(50));
  EXPECT_LT(real, std::chrono::milliseconds(400));
}

}  // namespace
}  // namespace platform
