#include "updater/workflow/clock_command.h"

#include <charconv>
#include <string_view>

#include "updater/instrument_clock.h"

namespace updater {

ClockCommand ClockCommandText(bool secondsForm, const std::tm& local) {
  if (secondsForm) return ClockCommand(ClockCommandSeconds(local).view());
  // to_chars, not printf: a window toolkit may have switched the C locale to
  // one with a decimal comma, which the instrument does not read.
  const double days = static_cast<double>(WallSecondsSince(1899, 12, 30, local)) / 86400.0;
  char digits[40];
  const auto result = std::to_chars(digits, digits + sizeof digits, days, std::chars_format::fixed, 6);
  ClockCommand text("A.1600#");
  text.Append(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
  return text.Append("\r\n");
}

}  // namespace updater
