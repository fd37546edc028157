#pragma once
// The air-pressure table: instruments of three device types get the air
// pressure of their calibration site written after programming, looked up by
// serial number.
#include <cstdint>
#include <string_view>

namespace updater {

/// Rows of the table (their numbers are stable: a row number is what the run keeps).
inline constexpr std::int32_t kAirPressureRows = 76;
/// Row values with a meaning of their own.
inline constexpr std::int32_t kAirPressureNone = -1;     ///< nothing to write
inline constexpr std::int32_t kAirPressureSent = -2;     ///< value sent, resume command due
inline constexpr std::int32_t kAirPressureDefault = -10; ///< known type, serial not in the table
inline constexpr float kDefaultAirPressure = 947.0f;

/// 0..75 for a device type of the table with at least its minimum software
/// version and a serial number in the table; -10 for such an instrument whose
/// serial number is not listed; -1 otherwise. Both texts are read as decimal
/// integers.
std::int32_t AirPressureRow(std::string_view deviceNumber, std::string_view serialNumber, std::int32_t version);

/// Pressure in hPa of a row (0..75), 947.0 for -10 and for any other value.
float AirPressureValue(std::int32_t row);

}  // namespace updater
