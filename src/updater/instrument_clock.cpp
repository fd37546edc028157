#include "updater/instrument_clock.h"

namespace updater {

long long WallSecondsSince(int year, int month, int day, const std::tm& local) {
  std::tm wall = local;
  wall.tm_isdst = 0;
  std::tm origin{};
  origin.tm_year = year - 1900;
  origin.tm_mon = month - 1;
  origin.tm_mday = day;
  return static_cast<long long>(::timegm(&wall)) - static_cast<long long>(::timegm(&origin));
}

unsigned long SecondsSince2003Epoch(const std::tm& local) {
  const long long seconds = WallSecondsSince(2002, 12, 31, local);
  return seconds > 0 ? static_cast<unsigned long>(seconds) : 0;
}

core::FixedText<32> ClockCommandSeconds(const std::tm& local) {
  core::FixedText<32> command;
  command.Format("%s%lu\r\n", "A.1600#", SecondsSince2003Epoch(local));
  return command;
}

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return local;
}

}  // namespace updater
