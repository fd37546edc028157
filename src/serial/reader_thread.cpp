#include "serial/reader_thread.h"

#include "serial/v24_types.h"

namespace serial {

using platform::kSerialEventError;
using platform::kSerialEventRxChar;

TV24Read_Thread::TV24Read_Thread(platform::MessageLoop* owner, platform::SerialPort& port,
                                 int portNumber, std::uint32_t delayMs)
    : owner_(owner),
      port_(port),
      portNumber_(portNumber),
      clock_(owner != nullptr ? owner->GetClock() : platform::SystemClock()),
      delay_(delayMs) {}

TV24Read_Thread::~TV24Read_Thread() { Stop(); }

void TV24Read_Thread::Start() {
  thread_ = std::thread([this] { Execute(); });
}

void TV24Read_Thread::Stop() {
  {
    std::lock_guard lock(stopLock_);
    stop_ = true;
  }
  stopSignal_.notify_all();
  port_.WakeWaiter();
  if (thread_.joinable()) thread_.join();
}

void TV24Read_Thread::ClearNotification() {
  std::lock_guard lock(flagLock_);
  notified_ = false;
}

bool TV24Read_Thread::NotificationOutstanding() const {
  std::lock_guard lock(flagLock_);
  return notified_;
}

void TV24Read_Thread::Execute() {
  PassState state;
  for (;;) {
    {
      std::lock_guard lock(stopLock_);
      if (stop_) return;
    }
    // Edge-like: an arrival is reported once, however long it stays unread,
    // so this wait blocks while a notification is outstanding.
    const unsigned events =
        port_.WaitEvent(kSerialEventRxChar | kSerialEventError, kSliceMs, clock_);
    if ((events | state.savedMask) & kSerialEventRxChar) OnArrival(events, state);
    if (events & kSerialEventError) OnLineError();
  }
}

void TV24Read_Thread::OnArrival(unsigned events, PassState& state) {
  std::unique_lock lock(flagLock_);
  if (!notified_) {
    notified_ = true;
    lock.unlock();
    if (!Post(WM_V24_RXDATA)) ClearNotification();  // the next arrival tries again
    state = PassState{};
    Pause(delay_);
    return;
  }
  // The owner has not read since the last notification.
  const platform::Tick now = clock_.Now();
  if (state.watchdogRunning && now - state.watchdogStart > kWatchdogMs) {
    notified_ = false;
    state.seenWhileOutstanding = false;
    state.watchdogRunning = false;
  }
  if (state.seenWhileOutstanding && !state.watchdogRunning) {
    state.watchdogRunning = true;
    state.watchdogStart = now;
    state.savedMask = events | kSerialEventRxChar;
  }
  state.seenWhileOutstanding = true;
}

void TV24Read_Thread::OnLineError() {
  const platform::LineErrors e = port_.ClearErrors();
  if (e.frame || !(e.overrun || e.parity || e.breakDetected)) Post(WM_V24_LINEERROR);
  if (e.overrun) Post(WM_V24_OVERRUN);
  if (e.parity) Post(WM_V24_PARITY);
  if (e.breakDetected) port_.ClearBreak();
}

bool TV24Read_Thread::Post(std::uint32_t message) {
  return owner_ != nullptr && owner_->Post(platform::Message{message, portNumber_});
}

// Sleeps, not polls: a stop request ends the pause at once.
void TV24Read_Thread::Pause(std::uint32_t ms) {
  if (ms == 0) return;
  std::unique_lock lock(stopLock_);
  stopSignal_.wait_for(lock, clock_.RealDuration(ms), [this] { return stop_; });
}

}  // namespace serial
