#pragma once
// The serial line as the instrument sees it.
#include <cstdint>

namespace sim {

inline constexpr std::uint32_t kNoRate = 0;

struct LineSettings {
  std::uint32_t baud = 9600;  ///< kNoRate: a clock at which no rate of the other side fits
  std::uint8_t stopBits = 1;  ///< 1 or 2
  bool evenParity = false;    ///< a pty cannot carry parity, so it only counts for pacing
  bool rtsCts = false;        ///< RTS/CTS flow control set on the port (a pty keeps the flag, has no lines)

  /// Duration of one character on the wire: start, 8 data, parity and stop bits.
  std::uint32_t CharMicros() const {
    const std::uint32_t bits = 1 + 8 + (evenParity ? 1 : 0) + stopBits;
    return baud == 0 ? 0 : bits * 1'000'000 / baud;
  }

  /// True when the other side's settings let the two understand each other
  /// (baud rate and stop bits; parity cannot be seen on a pty).
  bool Understands(const LineSettings& seen) const { return baud == seen.baud && stopBits == seen.stopBits; }
};

}  // namespace sim
