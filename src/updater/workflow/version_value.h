#pragma once
// Software versions as the instruments and the firmware files write them
// ("1.23") and as the run compares them (integers).
#include <cstdint>
#include <string_view>

namespace updater {

/// The text read as a decimal number (leading blanks, an optional sign,
/// digits, an optional decimal point and more digits; reading stops at the
/// first other character, nothing readable gives 0), multiplied by 1000.01 and
/// truncated toward zero: "1.23" gives 1230, "1.229" gives 1229, "0.063" gives
/// 63, "X.XX" gives 0. Values beyond the int32 range are clamped to it.
std::int32_t VersionValue(std::string_view text);

}  // namespace updater
