#include "sim/checksums.h"

namespace sim {

std::uint16_t ClassicChecksum(std::span<const std::uint8_t> bytes) {
  std::uint16_t sum = 0;
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    const std::uint16_t high = i + 1 < bytes.size() ? bytes[i + 1] : 0;
    sum ^= static_cast<std::uint16_t>(bytes[i] | (high << 8));
  }
  return static_cast<std::uint16_t>(sum ^ 0xFFFF);
}

std::uint16_t Crc16Ccitt(std::span<const std::uint8_t> bytes) {
  std::uint16_t crc = 0xFFFF;
  for (const std::uint8_t byte : bytes) {
    crc ^= static_cast<std::uint16_t>(byte << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021) : static_cast<std::uint16_t>(crc << 1);
    }
  }
  return crc;
}

}  // namespace sim
