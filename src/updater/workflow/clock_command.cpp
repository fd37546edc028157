#include "updater/workflow/clock_command.h"

#include <charconv>
#include <string_view>

#include "updater/instrument_clock.h"

namespace updater {
namespace {

double DaysSince1899(const std::tm& local) {
  std::tm wall = local;
  wall.tm_isdst = 0;
  std::tm origin{};
  origin.tm_year = 1899 - 1900;
  origin.tm_mon = 11;
  origin.tm_mday = 30;
  return static_cast<double>(::timegm(&wall) - ::timegm(&origin)) / 86400.0;
}

}  // namespace

ClockCommand ClockCommandText(bool secondsForm, const std::tm& local) {
  if (secondsForm) return ClockCommand(ClockCommandSeconds(local).view());
  // to_chars, not printf: a window toolkit may have switched the C locale to
  // one with a decimal comma, which the instrument does not read.
  char digits[40];
  const auto result = std::to_chars(digits, digits + sizeof digits, DaysSince1899(local), std::chars_format::fixed, 6);
  ClockCommand text("A.1600#");
  text.Append(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
  return text.Append("\r\n");
}

}  // namespace updater
