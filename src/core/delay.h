#pragma once
// TDelay: waits inside the caller.
//
// DelayTime(ms, false) sleeps (no message, timer or click is delivered);
// DelayTime(ms, true) waits in the message loop, delivering window messages and
// timer expiries as they come, until the deadline: every handler of the owner
// can run inside it. Neither spins. Main thread only.
#include <cstdint>

#include "platform/message_loop.h"

namespace core {

class TDelay {
 public:
  explicit TDelay(platform::MessageLoop& loop) : loop_(loop) {}

  /// Waits ms / Dividend milliseconds (truncated; at most one tick more); returns at once when Enable
  /// is false. A wait of 0 still processes pending messages once when `pump`.
  void DelayTime(long ms, bool pump);

  void SetDividend(long value) { dividend_ = value < 1 ? 1 : value; }
  long Dividend() const { return dividend_; }
  void SetEnable(bool value) { enable_ = value; }
  bool Enable() const { return enable_; }

 private:
  platform::MessageLoop& loop_;
  bool enable_ = false;
  long dividend_ = 1;
};

}  // namespace core
