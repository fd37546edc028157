#include "updater/instrument_clock.h"

namespace updater {

unsigned long SecondsSince2003Epoch(const std::tm& local) {
  std::tm wall = local;
  wall.tm_isdst = 0;
  std::tm epoch{};
  epoch.tm_year = 2002 - 1900;
  epoch.tm_mon = 11;
  epoch.tm_mday = 31;
  const long long seconds = static_cast<long long>(::timegm(&wall)) - static_cast<long long>(::timegm(&epoch));
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
