#include "core/event_drain.h"

namespace core {

TEventRecord TEventDrain::ProcessEvents() {
  TEventRecord event;
  do {
    event = events_.FetchEvent();
    if (!event.Empty()) events_.Broadcast(event);
    event = events_.FetchEvent();
    if (!event.Empty()) {
      events_.Broadcast(event);
      if (nesting_ == 0) {
        nesting_ = 1;
        loop_.ProcessPendingMessages();
        nesting_ = 0;
      } else if (++nesting_ > 10) {
        nesting_ = 0;
      }
    }
  } while (!event.Empty());
  return {};
}

}  // namespace core
