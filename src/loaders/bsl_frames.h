#pragma once
// Frames of the two MSP430 boot-loader families.
//
// Classic (1xx/2xx/4xx): 80 CMD L1 L1 payload CKL CKH. The payload starts with
// AL AH LL LH; the checksum is the inverted XOR of the little-endian words of
// everything before it. Replies: 0x90 acknowledges, 0xA0 and 0x70 refuse.
//
// 5xx/6xx: 80 NL NH core CKL CKH, with the CRC-16-CCITT (0x1021, start 0xFFFF,
// no reflection, no final XOR) over the core command. Replies: 0x00
// acknowledges; a byte with bit 0x10 or 0x40 set is an error; a response frame
// carries 0x3A and data, or 0x3B and a message byte.
//
// Builders write into a caller's buffer of at least the stated size and return
// the frame length. Pure functions; any thread.
#include <cstddef>
#include <cstdint>
#include <span>

namespace loaders {

namespace classic {
inline constexpr std::uint8_t kHeader = 0x80;
inline constexpr std::uint8_t kAck = 0x90;
inline constexpr std::uint8_t kNak = 0xA0;
inline constexpr std::uint8_t kNakAlt = 0x70;
inline constexpr std::uint8_t kFill = 0x58;  ///< "X" in fields a command does not use
inline constexpr std::size_t kMaxFrame = 262;  ///< L1 of 255 plus header and checksum

enum Command : std::uint8_t {
  RxPassword = 0x10,
  RxDataBlock = 0x12,
  TxDataBlock = 0x14,
  EraseSegment = 0x16,
  LoadPc = 0x1A,
  TxBslVersion = 0x1E,
  ChangeBaud = 0x20,
  SetOffset = 0x21,
};

/// Inverted XOR of the little-endian 16-bit words of `bytes` (an odd last
/// byte counts as a word with a zero high byte).
std::uint16_t Checksum(std::span<const std::uint8_t> bytes);
/// Builds the frame of `command` with `payload` (at most 255 bytes) into `out`
/// (kMaxFrame bytes); returns its length, payload size + 6.
std::size_t BuildFrame(std::uint8_t command, std::span<const std::uint8_t> payload, std::uint8_t* out);
/// True when `frame` (L1 + 6 bytes) carries a matching checksum.
bool ChecksumMatches(std::span<const std::uint8_t> frame);
}  // namespace classic

namespace bsl5xx {
inline constexpr std::uint8_t kHeader = 0x80;
inline constexpr std::uint8_t kAck = 0x00;
inline constexpr std::uint8_t kDataResponse = 0x3A;
inline constexpr std::uint8_t kMessageResponse = 0x3B;
inline constexpr std::size_t kMaxFrame = 264;

enum Command : std::uint8_t {
  RxDataBlock = 0x10,
  RxPassword = 0x11,
  EraseSegment = 0x12,
  LoadPc = 0x17,
  TxDataBlock = 0x18,
  TxBslVersion = 0x19,
  ChangeBaud = 0x52,
};

/// True for a single reply byte that reports an error.
inline bool IsErrorByte(std::uint8_t b) { return (b & 0x50) != 0; }

std::uint16_t Crc16Ccitt(std::span<const std::uint8_t> bytes);
/// Builds 80 NL NH core CKL CKH around the core command `core` (at most 259
/// bytes) into `out` (kMaxFrame bytes); returns its length, core size + 5.
std::size_t BuildFrame(std::span<const std::uint8_t> core, std::uint8_t* out);
/// Builds the core command: the command byte, the three address bytes (low
/// first) only when the address is not zero, then `data`. Returns its length.
std::size_t BuildCore(std::uint8_t command, std::uint32_t address, std::span<const std::uint8_t> data,
                      std::uint8_t* out);
/// True when the frame's CRC (over its NL core bytes) matches.
bool CrcMatches(std::span<const std::uint8_t> frame);
}  // namespace bsl5xx

}  // namespace loaders
