#include "core/timer_pool.h"

namespace core {

TTimerPool::TTimerPool(platform::MessageLoop& loop, TEvents& events, std::function<void()> processEvents)
    : loop_(loop), events_(events), processEvents_(std::move(processEvents)) {}

TTimerPool::~TTimerPool() = default;

void TTimerPool::TimerRegister(int count) {
  if (count < 1) count = 0;
  if (count > kMaxTimers) count = kMaxTimers;
  for (int i = 0; i < kMaxTimers; ++i) timers_[i].reset();
  for (int slot = 1; slot <= count; ++slot) {
    timers_[slot - 1] = loop_.CreateTimer([this, slot] { TimerIntervall(slot); });
  }
  inUse_.fill(false);
  count_ = count;
}

std::int32_t TTimerPool::TimerStart(std::int32_t intervalMs) {
  if (count_ == 0) return 0;
  std::int32_t slot = count_;
  for (std::int32_t s = 1; s < count_; ++s) {
    if (!inUse_[s]) {
      slot = s;
      break;
    }
  }
  inUse_[slot] = true;
  platform::Timer& timer = *timers_[slot - 1];
  timer.SetEnabled(false);
  timer.SetInterval(intervalMs > 0 ? static_cast<platform::Tick>(intervalMs) : 1);
  timer.SetEnabled(true);
  return slot;
}

std::int32_t TTimerPool::TimerStop(std::int32_t slot) {
  if (Valid(slot)) {
    inUse_[slot] = false;
    timers_[slot - 1]->SetEnabled(false);
  }
  return 0;
}

void TTimerPool::TimerRestart(std::int32_t slot) {
  if (!InUse(slot)) return;
  platform::Timer& timer = *timers_[slot - 1];
  timer.SetEnabled(false);
  timer.SetInterval(timer.Interval());
  timer.SetEnabled(true);
}

void TTimerPool::TimerIntervall(std::int32_t slot) {
  if (!Valid(slot) || !timers_[slot - 1]->Enabled()) return;
  events_.PostTimer(slot);
  if (processEvents_) processEvents_();
}

}  // namespace core
