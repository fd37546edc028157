#pragma once
// Checksums of the two MSP430 boot-loader frame formats.
#include <cstdint>
#include <span>

namespace sim {

/// Classic boot-loader checksum: the XOR of the little-endian 16-bit words of
/// `bytes`, inverted. `bytes` must have an even length (an odd last byte is
/// taken as a word with a zero high byte). CKL is the low byte of the result.
std::uint16_t ClassicChecksum(std::span<const std::uint8_t> bytes);

/// CRC-16-CCITT as the 5xx/6xx boot loader uses it: polynomial 0x1021,
/// initial value 0xFFFF, most significant bit first, no final XOR.
std::uint16_t Crc16Ccitt(std::span<const std::uint8_t> bytes);

}  // namespace sim
