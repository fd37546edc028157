#pragma once
// TEventDrain: the owner's ProcessEvents drain loop.
//
// Broadcasts every pending event; between events it lets the message loop
// deliver pending window messages (user input, timers, serial notifications),
// which may start nested drains. A nesting counter keeps a nested drain from
// processing window messages itself until it has handled ten events, so that
// recursion through the message loop stays shallow. Main thread only.
#include "core/events.h"
#include "platform/message_loop.h"

namespace core {

class TEventDrain {
 public:
  TEventDrain(TEvents& events, platform::MessageLoop& loop) : events_(events), loop_(loop) {}

  /// Drains the queue; always returns the empty event.
  TEventRecord ProcessEvents();

 private:
  TEvents& events_;
  platform::MessageLoop& loop_;
  int nesting_ = 0;
};

}  // namespace core
