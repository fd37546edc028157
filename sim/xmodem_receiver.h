#pragma once
// The receiving side of an XMODEM-CRC transfer, strict like a boot loader:
// a block is SOH, its number (1 first, counting modulo 256), 255 minus the
// number, 128 data bytes and the CRC-16/XMODEM of the data, high byte first.
// Fed one received byte at a time, and polled for its time-outs; the owner
// answers each event on the line (ACK, NAK, "C", CAN) and decides whether a
// block is stored.
//
// Times, as an XMODEM receiver keeps them:
// - Until the first block is taken it asks again with "C" every kAskEveryMs
//   of quiet, and gives the transfer up kGiveUpMs after it began.
// - A stray byte where a block should start, and a block that stops short,
//   are refused only once the line has been quiet for kQuietMs: everything
//   up to then is dropped, so a burst of noise gets one NAK, and no byte of
//   the noise or of the cut block is taken for SOH or EOT.
// - EOT ends the transfer only where a block could start: at the beginning,
//   after a whole block, or after the NAK that ended a purge.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/clock.h"

namespace sim {

inline constexpr std::uint8_t kSoh = 0x01;
inline constexpr std::uint8_t kEot = 0x04;
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kCan = 0x18;
inline constexpr std::uint8_t kCrcRequest = 'C';

class XmodemReceiver {
 public:
  static constexpr std::size_t kDataSize = 128;
  static constexpr std::size_t kFrameSize = 3 + kDataSize + 2;
  static constexpr platform::Tick kAskEveryMs = 3000;
  static constexpr platform::Tick kGiveUpMs = 60000;
  static constexpr platform::Tick kQuietMs = 1000;

  enum class Event : std::uint8_t {
    kNone,       ///< part of a block still arriving, or dropped while the line is purged
    kBlock,      ///< the next block in sequence arrived intact; Data() holds it
    kDuplicate,  ///< the block accepted last, again (its ACK was lost): acknowledge and drop it
    kBad,        ///< a damaged block, one out of sequence, noise, or a block cut short: NAK
    kEnd,        ///< EOT where a block could start
    kAskAgain,   ///< still no block: "C" once more
    kGiveUp,     ///< no block within kGiveUpMs: the transfer is over
  };

  /// The owner has sent its first "C" at `now`.
  explicit XmodemReceiver(platform::Tick now) : begun_(now), lastAsk_(now), lastByte_(now) {}

  Event Feed(std::uint8_t byte, platform::Tick now);
  /// What is due at `now` when nothing arrives (kNone, kBad, kAskAgain, kGiveUp).
  Event Poll(platform::Tick now);
  /// When Poll() will next have something to do, if ever.
  std::optional<platform::Tick> Deadline() const;

  /// The data of the block that kBlock reported.
  std::span<const std::uint8_t> Data() const { return std::span(frame_).subspan(3, kDataSize); }
  /// Takes the block that kBlock reported; a block not accepted is expected again.
  void Accept();
  std::uint32_t BlocksAccepted() const { return accepted_; }

 private:
  Event JudgeFrame() const;
  bool Interrupted() const { return purging_ || count_ > 0; }
  platform::Tick NextAsk() const;

  std::array<std::uint8_t, kFrameSize> frame_{};
  std::size_t count_ = 0;  // bytes of the block being received; 0 between blocks
  bool purging_ = false;   // after a stray byte: drop everything until the line is quiet
  std::uint8_t expected_ = 1;
  std::uint32_t accepted_ = 0;
  platform::Tick begun_;
  platform::Tick lastAsk_;
  platform::Tick lastByte_;
};

}  // namespace sim
