#pragma once
// CRC-16/XMODEM: the check of every XMODEM-CRC block and of the EMF image
// trailer. Polynomial 0x1021, initial value 0, most significant bit first,
// no final XOR ("123456789" gives 0x31C3).
#include <cstdint>
#include <span>

namespace sim {

std::uint16_t Crc16Xmodem(std::span<const std::uint8_t> bytes);

}  // namespace sim
