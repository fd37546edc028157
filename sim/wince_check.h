#pragma once
// The check character of a WinCE data frame: a CRC-8 over the frame's data
// bytes, moved off the values that would look like frame structure.
#include <cstdint>
#include <span>

namespace sim {

/// CRC-8 with polynomial 0x1D, initial value 0xFF, most significant bit
/// first, no reflection, no final XOR ("123456789" gives 0xB4).
std::uint8_t WinceCrc8(std::span<const std::uint8_t> data);

/// The character the frame carries: the CRC-8, except that 0x00 becomes 0x01
/// and "D", "," and "#" become the next value ("E", "-", "$"), so that the
/// check character is never a terminator or a frame delimiter.
std::uint8_t WinceCheckCharacter(std::span<const std::uint8_t> data);

}  // namespace sim
