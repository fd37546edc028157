#pragma once
// The instrument's clock command "A.1600#<value>\r\n" in both of its forms.
#include <ctime>

#include "core/fixed_text.h"

namespace updater {

using ClockCommand = core::FixedText<48>;

/// Seconds form: whole seconds since 2002-12-31 00:00:00. Day form: days
/// since 1899-12-30 00:00 with the time of day as fraction, six decimals.
/// `local` is a broken-down local date and time, counted as wall-clock time
/// so that daylight saving never shifts the value.
ClockCommand ClockCommandText(bool secondsForm, const std::tm& local);

}  // namespace updater
