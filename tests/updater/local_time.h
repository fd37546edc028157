#pragma once
// A broken-down local date and time for the clock tests.
#include <ctime>

namespace updater::testing {

inline std::tm LocalTime(int year, int month, int day, int hour, int minute, int second, int isDst = 0) {
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

}  // namespace updater::testing
