#pragma once
// The image the EMF boot loader receives over XMODEM-CRC, and its block frames.
//
// Image: the file unchanged, then 1 to 128 bytes 0xFF, then a 6-byte trailer
// (the image length N x 128 - 6 and the CRC-16/XMODEM of those bytes, both
// little-endian), so that it fills exactly N blocks of 128 bytes. When the
// file size + 6 is already a multiple of 128 the padding is a whole block: the
// boot loader finds its trailer only in the last 6 bytes of the last block.
//
// Block frame: SOH, block number (1 for the first, modulo 256), its
// complement, 128 image bytes, CRC-16/XMODEM of the 128 bytes high byte first.
//
// Pure functions; any thread.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace loaders::xmodem {

inline constexpr std::uint8_t kSoh = 0x01;
inline constexpr std::uint8_t kEot = 0x04;
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kCrcRequest =
    0x43;  ///< "C": the receiver asks for blocks with CRC-16
inline constexpr std::size_t kBlockData = 128;
inline constexpr std::size_t kFrameBytes = kBlockData + 5;
inline constexpr std::size_t kTrailerBytes = 6;
inline constexpr std::uint8_t kPadding = 0xFF;

using BlockFrame = std::array<std::uint8_t, kFrameBytes>;

/// CRC-16/XMODEM: polynomial 0x1021, start 0, no reflection, no final XOR.
std::uint16_t Crc16(std::span<const std::uint8_t> bytes);

/// Size of the padded image of a file of `fileSize` bytes (always a multiple
/// of 128, at least 128).
std::size_t PaddedSize(std::size_t fileSize);

struct PaddedImage {
  std::vector<std::uint8_t> bytes;  ///< file, padding, trailer
  std::int32_t blockCount = 0;      ///< N
  std::uint32_t length = 0;         ///< N x 128 - 6: what the CRC covers
  std::uint16_t crc = 0;            ///< CRC-16/XMODEM of the first `length` bytes
};

/// The file padded and closed by its trailer.
PaddedImage PadImage(std::span<const std::uint8_t> file);

/// The frame of block `k` (1-based) of `image`; k must be 1..blockCount.
BlockFrame BuildBlock(const PaddedImage& image, std::int32_t k);

}  // namespace loaders::xmodem
