#pragma once
// TTimerPool: numbered periodic timers whose expiries arrive as EVT_TIMER
// events carrying the slot number.
//
// Slots start at 1; 0 means "no timer", which is why TimerStop returns 0 for the
// caller to store back. When every slot but the last is in use, TimerStart
// hands out the last slot again and re-arms it for the new user. Main thread only.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/events.h"
#include "platform/message_loop.h"

namespace core {

class TTimerPool {
 public:
  static constexpr int kMaxTimers = 20;

  /// `processEvents` is the owner's drain (called after each expiry is posted).
  TTimerPool(platform::MessageLoop& loop, TEvents& events, std::function<void()> processEvents);
  ~TTimerPool();

  /// Creates `count` (1..20) disabled periodic timers as slots 1..count, tagged
  /// with their slot numbers, and marks all slots free.
  void TimerRegister(int count);

  /// Takes a slot, sets its interval, enables it; returns the slot (0 when no
  /// timer is registered).
  std::int32_t TimerStart(std::int32_t intervalMs);
  /// Frees and disables a slot of 1 or more; always returns 0.
  std::int32_t TimerStop(std::int32_t slot);
  /// Starts the full interval anew for a slot in use; otherwise nothing.
  void TimerRestart(std::int32_t slot);

  /// Expiry handler: posts EVT_TIMER with the slot and drains, unless the timer
  /// was disabled meanwhile.
  void TimerIntervall(std::int32_t slot);

  bool InUse(std::int32_t slot) const { return Valid(slot) && inUse_[slot]; }
  platform::Timer* Timer(std::int32_t slot) const { return Valid(slot) ? timers_[slot - 1].get() : nullptr; }
  int Count() const { return count_; }

 private:
  bool Valid(std::int32_t slot) const { return slot >= 1 && slot <= count_; }

  platform::MessageLoop& loop_;
  TEvents& events_;
  std::function<void()> processEvents_;
  std::array<std::unique_ptr<platform::Timer>, kMaxTimers> timers_;
  std::array<bool, kMaxTimers + 1> inUse_{};
  int count_ = 0;
};

}  // namespace core
