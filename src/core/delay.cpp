#include "core/delay.h"

namespace core {

void TDelay::DelayTime(long ms, bool pump) {
  if (!enable_ || ms < 0) return;
  const auto wait = static_cast<platform::Tick>(ms / dividend_);
  if (!pump) {
    if (wait > 0) loop_.IdleWithoutDelivering(wait);
    return;
  }
  const platform::Clock& clock = loop_.GetClock();
  // One tick more than asked: the start reading may be up to a tick late, and a
  // delay must never end before its time.
  const platform::Tick deadline = clock.Now() + wait + 1;
  // Messages are processed at least once, also for a wait of 0.
  for (;;) {
    loop_.ProcessPendingMessages();
    if (platform::TickReached(clock.Now(), deadline)) return;
    loop_.WaitForMessage(deadline);
  }
}

}  // namespace core
