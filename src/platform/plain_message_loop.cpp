#include "platform/plain_message_loop.h"

#include <algorithm>

namespace platform {

class PlainMessageLoop::PlainTimer final : public Timer {
 public:
  PlainTimer(PlainMessageLoop& loop, std::function<void()> onExpiry)
      : loop_(loop), onExpiry_(std::move(onExpiry)) {
    loop_.timers_.push_back(this);
  }
  ~PlainTimer() override { std::erase(loop_.timers_, this); }

  void SetInterval(Tick ms) override {
    interval_ = ms;
    if (enabled_) Arm();
  }
  Tick Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override {
    enabled_ = enabled;
    if (enabled_) Arm();
  }
  bool Enabled() const override { return enabled_; }

  bool Due(Tick now) const { return enabled_ && TickReached(now, due_); }
  Tick DueAt() const { return due_; }

  void Fire(Tick now) {
    due_ = now + std::max<Tick>(interval_, 1);
    onExpiry_();
  }

 private:
  void Arm() { due_ = loop_.clock_.Now() + std::max<Tick>(interval_, 1); }

  PlainMessageLoop& loop_;
  std::function<void()> onExpiry_;
  Tick interval_ = 0;
  Tick due_ = 0;
  bool enabled_ = false;
};

PlainMessageLoop::PlainMessageLoop(const Clock& clock) : clock_(clock) {}

PlainMessageLoop::~PlainMessageLoop() { Shutdown(); }

void PlainMessageLoop::SetMessageHandler(MessageHandler handler) { handler_ = std::move(handler); }

bool PlainMessageLoop::Post(Message message) {
  {
    std::lock_guard lock(mutex_);
    if (!accepting_) return false;
    queue_.push_back(message);
  }
  arrived_.notify_one();
  return true;
}

void PlainMessageLoop::Shutdown() {
  std::lock_guard lock(mutex_);
  accepting_ = false;
}

std::unique_ptr<Timer> PlainMessageLoop::CreateTimer(std::function<void()> onExpiry) {
  return std::make_unique<PlainTimer>(*this, std::move(onExpiry));
}

bool PlainMessageLoop::PopMessage(Message& message) {
  std::lock_guard lock(mutex_);
  if (queue_.empty()) return false;
  message = queue_.front();
  queue_.pop_front();
  return true;
}

void PlainMessageLoop::ProcessPendingMessages() {
  std::size_t pending;
  {
    std::lock_guard lock(mutex_);
    pending = queue_.size();
  }
  // Messages are taken one at a time from the shared queue, so a handler that
  // re-enters the loop continues with the next message in order.
  Message message;
  while (pending-- > 0 && PopMessage(message)) {
    if (handler_) handler_(message);
  }
  FireDueTimers();
}

void PlainMessageLoop::FireDueTimers() {
  const Tick now = clock_.Now();
  // A handler may create or destroy timers; fire from a snapshot and check
  // that each timer still exists before touching it.
  const std::vector<PlainTimer*> snapshot = timers_;
  for (PlainTimer* timer : snapshot) {
    if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end()) continue;
    if (timer->Due(now)) timer->Fire(now);
  }
}

bool PlainMessageLoop::AnyTimerDue(Tick now) const {
  return std::any_of(timers_.begin(), timers_.end(), [now](const PlainTimer* t) { return t->Due(now); });
}

bool PlainMessageLoop::NextTimerDue(Tick& due) const {
  bool found = false;
  const Tick now = clock_.Now();
  for (const PlainTimer* timer : timers_) {
    if (!timer->Enabled()) continue;
    if (!found || TicksUntil(now, timer->DueAt()) < TicksUntil(now, due)) due = timer->DueAt();
    found = true;
  }
  return found;
}

bool PlainMessageLoop::WaitForMessage(Tick deadline) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (!queue_.empty()) return true;
    const Tick now = clock_.Now();
    if (AnyTimerDue(now)) return true;
    if (TickReached(now, deadline)) return false;
    Tick wakeAt = deadline;
    Tick timerDue = 0;
    if (NextTimerDue(timerDue) && TicksUntil(now, timerDue) < TicksUntil(now, wakeAt)) wakeAt = timerDue;
    // Sleep at least one real millisecond's worth so rounding cannot spin.
    const auto real = std::max(clock_.RealDuration(TicksUntil(now, wakeAt)),
                               std::chrono::nanoseconds(std::chrono::microseconds(200)));
    arrived_.wait_for(lock, real);
  }
}

void PlainMessageLoop::IdleWithoutDelivering(Tick ms) { clock_.Sleep(ms); }

}  // namespace platform
