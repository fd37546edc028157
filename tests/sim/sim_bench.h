#pragma once
// Test bench for the simulator: an instrument on a hand-driven clock, fed
// bytes directly (no pty), with helpers that speak the boot-loader frames.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "sim/checksums.h"
#include "sim/instrument.h"
#include "sim/presets.h"

namespace sim::test {

class ManualClock final : public platform::Clock {
 public:
  platform::Tick Now() const override { return now_; }
  void Sleep(platform::Tick ms) const override { now_ += ms; }
  std::chrono::nanoseconds RealDuration(platform::Tick ms) const override { return std::chrono::milliseconds(ms); }
  void Advance(platform::Tick ms) { now_ += ms; }

 private:
  mutable platform::Tick now_ = 1000;
};

using Bytes = std::vector<std::uint8_t>;

inline Bytes ToBytes(std::string_view text) { return {text.begin(), text.end()}; }

/// A classic frame: 80 CMD L1 L2 AL AH LL LH data CKL CKH.
inline Bytes ClassicFrame(std::uint8_t cmd, std::uint16_t address, std::uint16_t length, const Bytes& data = {}) {
  const auto l1 = static_cast<std::uint8_t>(data.size() + 4);
  Bytes frame{0x80, cmd, l1, l1, static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8),
              static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8)};
  frame.insert(frame.end(), data.begin(), data.end());
  const std::uint16_t sum = ClassicChecksum(frame);
  frame.push_back(static_cast<std::uint8_t>(sum));
  frame.push_back(static_cast<std::uint8_t>(sum >> 8));
  return frame;
}

/// A 5xx frame: 80 NL NH core CKL CKH.
inline Bytes Frame5xx(const Bytes& core) {
  Bytes frame{0x80, static_cast<std::uint8_t>(core.size()), static_cast<std::uint8_t>(core.size() >> 8)};
  frame.insert(frame.end(), core.begin(), core.end());
  const std::uint16_t crc = Crc16Ccitt(core);
  frame.push_back(static_cast<std::uint8_t>(crc));
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  return frame;
}

class Bench {
 public:
  explicit Bench(InstrumentConfig config, FaultPlan faults = {})
      : instrument_(std::move(config), std::move(faults), clock_) {}

  static InstrumentConfig Preset(std::string_view name, std::initializer_list<std::string_view> settings = {}) {
    InstrumentConfig config = *FindPreset(name);
    for (const std::string_view setting : settings) ApplySetting(config, setting);
    return config;
  }

  /// Sends bytes as a host whose line is set like the instrument expects.
  Bytes Exchange(const Bytes& bytes) { return Exchange(bytes, instrument_.Line()); }
  Bytes Exchange(std::string_view text) { return Exchange(ToBytes(text)); }
  /// Sends bytes at the given line settings and returns everything the
  /// instrument answers (the clock runs until the output queue is empty).
  Bytes Exchange(const Bytes& bytes, const LineSettings& seen) {
    instrument_.Receive(bytes, seen);
    return Drain();
  }
  std::string Text(std::string_view command) {
    const Bytes out = Exchange(ToBytes(command));
    return {out.begin(), out.end()};
  }

  Bytes Drain() {
    Bytes out;
    auto& queue = instrument_.Output();
    while (!queue.empty()) {
      const OutputChunk& chunk = queue.front();
      if (!platform::TickReached(clock_.Now(), chunk.due)) clock_.Advance(chunk.due - clock_.Now());
      out.insert(out.end(), chunk.bytes.begin(), chunk.bytes.end());
      queue.pop_front();
    }
    return out;
  }

  /// Lets the instrument's own timers run (the firmware coming up).
  Bytes RunFor(platform::Tick ms) {
    clock_.Advance(ms);
    instrument_.Poll();
    return Drain();
  }

  /// Sync, then a classic frame; returns the answer after the sync's 0x90.
  Bytes ClassicCommand(const Bytes& frame) {
    const Bytes sync = Exchange(Bytes{0x80});
    if (sync != Bytes{0x90}) return sync;
    return Exchange(frame);
  }

  Instrument& Device() { return instrument_; }
  ManualClock& Clock() { return clock_; }

 private:
  ManualClock clock_;
  Instrument instrument_;
};

}  // namespace sim::test
