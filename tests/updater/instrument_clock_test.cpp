// The seconds form of the instrument's clock command.
#include <gtest/gtest.h>

#include "local_time.h"
#include "updater/instrument_clock.h"

namespace updater {
namespace {

using testing::LocalTime;

TEST(InstrumentClock, SecondsSinceTheLastDayOf2002InWallClockTime) {
  EXPECT_EQ(SecondsSince2003Epoch(LocalTime(2002, 12, 31, 0, 0, 1)), 1u);
  EXPECT_EQ(SecondsSince2003Epoch(LocalTime(2003, 1, 1, 0, 0, 0)), 86400u);
  // Summer time does not shift the value: the instrument keeps wall-clock time.
  EXPECT_EQ(SecondsSince2003Epoch(LocalTime(2003, 7, 1, 12, 0, 0, 1)), 15768000u);
  EXPECT_EQ(SecondsSince2003Epoch(LocalTime(2000, 1, 1, 0, 0, 0)), 0u);
  EXPECT_EQ(ClockCommandSeconds(LocalTime(2003, 1, 1, 0, 0, 0)), "A.1600#86400\r\n");
}

}  // namespace
}  // namespace updater
