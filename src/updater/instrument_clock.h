#pragma once
// The instrument's clock command.
#include <ctime>

#include "core/fixed_text.h"

namespace updater {

/// Seconds from midnight of `day`.`month`.`year` to `local` (a local date
/// and time), counted as wall-clock time, so that a daylight-saving change
/// does not shift it; negative before that day.
long long WallSecondsSince(int year, int month, int day, const std::tm& local);

/// Whole seconds from 2002-12-31 00:00:00 to `local` (0 before that).
unsigned long SecondsSince2003Epoch(const std::tm& local);

/// "A.1600#<seconds>\r\n" for `local` in the seconds form.
core::FixedText<32> ClockCommandSeconds(const std::tm& local);

/// The current local date and time.
std::tm LocalNow();

}  // namespace updater
