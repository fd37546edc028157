// The seconds form of the instrument's clock command.
#include <gtest/gtest.h>

#include "updater/instrument_clock.h"

namespace updater {
namespace {

std::tm Local(int year, int month, int day, int hour, int minute, int second, int isDst = 0) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = isDst;
  return t;
}

TEST(InstrumentClock, SecondsSinceTheLastDayOf2002InWallClockTime) {
  EXPECT_EQ(SecondsSince2003Epoch(Local(2002, 12, 31, 0, 0, 1)), 1u);
  EXPECT_EQ(SecondsSince2003Epoch(Local(2003, 1, 1, 0, 0, 0)), 86400u);
  // Summer time does not shift the value: the instrument keeps wall-clock time.
  EXPECT_EQ(SecondsSince2003Epoch(Local(2003, 7, 1, 12, 0, 0, 1)), 15768000u);
  EXPECT_EQ(SecondsSince2003Epoch(Local(2000, 1, 1, 0, 0, 0)), 0u);
  EXPECT_EQ(ClockCommandSeconds(Local(2003, 1, 1, 0, 0, 0)), "A.1600#86400\r\n");
}

}  // namespace
}  // namespace updater
