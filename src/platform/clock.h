#pragma once
// Monotonic millisecond clock and sleeping.
//
// Tick() is an unsigned 32-bit count of milliseconds that wraps like the
// operating system's tick counter; compare ticks with TickReached(), never with
// a plain '<', so that waits across the wrap-around end correctly.
//
// Time scale: tests and the demo may run time faster. The factor comes from the
// environment variable UPDATER_TIME_SCALE (20 makes every wait 20 times
// shorter; unset, invalid or below 1 means real time). Tick() then advances
// `scale` milliseconds per real millisecond, and Sleep() and every timer and
// wait of the message loop are shortened by the same factor. Callers always
// speak in logical milliseconds and never see the factor.
#include <chrono>
#include <cstdint>
#include <memory>

namespace platform {

using Tick = std::uint32_t;

/// True when `now` is at or past `deadline`, across the 32-bit wrap-around
/// (valid while the two are less than 2^31 ms apart).
inline bool TickReached(Tick now, Tick deadline) {
  return static_cast<std::int32_t>(now - deadline) >= 0;
}

/// Milliseconds from `now` until `deadline`; 0 when it has been reached.
inline Tick TicksUntil(Tick now, Tick deadline) {
  return TickReached(now, deadline) ? 0 : deadline - now;
}

class Clock {
 public:
  virtual ~Clock() = default;
  /// Logical milliseconds since an arbitrary start, wrapping at 2^32.
  virtual Tick Now() const = 0;
  /// Blocks the calling thread for `ms` logical milliseconds.
  virtual void Sleep(Tick ms) const = 0;
  /// Real duration of `ms` logical milliseconds (for waits on condition variables).
  virtual std::chrono::nanoseconds RealDuration(Tick ms) const = 0;
};

/// A clock over std::chrono::steady_clock running `scale` times faster than real time.
std::unique_ptr<Clock> MakeSteadyClock(double scale);

/// The process-wide clock over std::chrono::steady_clock, honouring the time scale.
const Clock& SystemClock();

/// The factor read from UPDATER_TIME_SCALE once per process (1.0 when unset).
double TimeScale();

/// Parses a time-scale text; values that are not a number >= 1 give 1.0.
double ParseTimeScale(const char* text);

}  // namespace platform
