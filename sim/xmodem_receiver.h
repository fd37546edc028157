#pragma once
// The receiving side of an XMODEM-CRC transfer, strict like a boot loader:
// a block is SOH, its number (1 first, counting modulo 256), 255 minus the
// number, 128 data bytes and the CRC-16/XMODEM of the data, high byte first.
// Fed one received byte at a time; the owner answers each event on the line
// (ACK, NAK) and decides whether a block is stored.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace sim {

inline constexpr std::uint8_t kSoh = 0x01;
inline constexpr std::uint8_t kEot = 0x04;
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kCrcRequest = 'C';

class XmodemReceiver {
 public:
  static constexpr std::size_t kDataSize = 128;
  static constexpr std::size_t kFrameSize = 3 + kDataSize + 2;

  enum class Event : std::uint8_t {
    kNone,       ///< part of a block still arriving, or dropped while the line is purged
    kBlock,      ///< the next block in sequence arrived intact; Data() holds it
    kDuplicate,  ///< the block accepted last, again (its ACK was lost): acknowledge and drop it
    kBad,  ///< a damaged block, one out of sequence, or a stray byte where a block should start
    kEnd,  ///< EOT where a block should start
  };

  Event Feed(std::uint8_t byte);

  /// The data of the block that kBlock reported.
  std::span<const std::uint8_t> Data() const { return std::span(frame_).subspan(3, kDataSize); }
  /// Takes the block that kBlock reported; a block not accepted is expected again.
  void Accept();
  std::uint32_t BlocksAccepted() const { return accepted_; }

 private:
  Event JudgeFrame() const;

  std::array<std::uint8_t, kFrameSize> frame_{};
  std::size_t count_ = 0;  // bytes of the block being received; 0 between blocks
  bool purging_ = false;   // after a stray byte: drop everything up to the next SOH or EOT
  std::uint8_t expected_ = 1;
  std::uint32_t accepted_ = 0;
};

}  // namespace sim
