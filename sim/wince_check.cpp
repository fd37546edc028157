#include "sim/wince_check.h"

namespace sim {

std::uint8_t WinceCrc8(std::span<const std::uint8_t> data) {
  std::uint8_t crc = 0xFF;
  for (const std::uint8_t byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x80) ? static_cast<std::uint8_t>((crc << 1) ^ 0x1D)
                         : static_cast<std::uint8_t>(crc << 1);
    }
  }
  return crc;
}

std::uint8_t WinceCheckCharacter(std::span<const std::uint8_t> data) {
  const std::uint8_t crc = WinceCrc8(data);
  if (crc == 0x00) return 0x01;
  if (crc == 'D' || crc == ',' || crc == '#') return static_cast<std::uint8_t>(crc + 1);
  return crc;
}

}  // namespace sim
