#pragma once
// The headless message loop: a mutex-protected message queue, a list of timers
// and a condition variable that a post or the earliest timer wakes.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/message_loop.h"

namespace platform {

class PlainMessageLoop final : public MessageLoop {
 public:
  explicit PlainMessageLoop(const Clock& clock = SystemClock());
  ~PlainMessageLoop() override;

  void SetMessageHandler(MessageHandler handler) override;
  bool Post(Message message) override;
  std::unique_ptr<Timer> CreateTimer(std::function<void()> onExpiry) override;
  void ProcessPendingMessages() override;
  bool WaitForMessage(Tick deadline) override;
  void IdleWithoutDelivering(Tick ms) override;
  const Clock& GetClock() const override { return clock_; }

  /// Stops accepting posts (Post returns false from now on).
  void Shutdown();

 private:
  class PlainTimer;

  bool PopMessage(Message& message);
  bool AnyTimerDue(Tick now) const;
  bool NextTimerDue(Tick& due) const;
  void FireDueTimers();

  const Clock& clock_;
  MessageHandler handler_;

  std::mutex mutex_;  // guards queue_ and accepting_
  std::condition_variable arrived_;
  std::deque<Message> queue_;
  bool accepting_ = true;

  std::vector<PlainTimer*> timers_;  // main thread only
};

}  // namespace platform
