#include "core/event_drain.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/plain_message_loop.h"

namespace core {
namespace {

// The owner of a queue, as the main window is: drains it and turns window
// messages into events.
struct Owner {
  platform::PlainMessageLoop loop;
  TEvents events;
  TEventDrain drain{events, loop};
  std::vector<std::int32_t> seen;
  std::function<void(std::int32_t)> onEvent;

  Owner() {
    loop.SetMessageHandler([this](const platform::Message& m) {
      events.PostMessage(static_cast<std::int32_t>(m.number));
      drain.ProcessEvents();
    });
    events.Subscribe(&Owner::Call, this);
  }
  static TEventRecord Call(void* self, TEvents&, TEventRecord e) {
    auto* o = static_cast<Owner*>(self);
    o->seen.push_back(e.Code);
    if (o->onEvent) o->onEvent(e.Code);
    return TEvents::ClearEvent(e);
  }
};

TEST(ProcessEvents, DrainsEverythingPendingInOrder) {
  Owner o;
  for (int i = 1; i <= 5; ++i) o.events.PostMessage(i);
  EXPECT_TRUE(o.drain.ProcessEvents().Empty());
  EXPECT_EQ(o.seen, (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(o.events.PendingCount(), 0);
}

// Events posted by a handler are picked up by the running drain; window
// messages are let in after the second event of a pass and start a nested
// drain there, which does not let window messages in itself.
TEST(ProcessEvents, HandlersPostAndWindowMessagesNest) {
  Owner o;
  o.onEvent = [&](std::int32_t code) {
    if (code == 1) o.events.PostMessage(3);
    if (code == 2) o.loop.Post({100, 0});
    if (code == 100) o.events.PostMessage(101);
    if (code == 101) {
      o.loop.Post({200, 0});  // arrives while the nested drain runs
      o.events.PostMessage(102);
    }
  };
  o.events.PostMessage(1);
  o.events.PostMessage(2);
  o.drain.ProcessEvents();
  EXPECT_EQ(o.seen, (std::vector<std::int32_t>{1, 2, 3, 100, 101, 102}));
  o.loop.ProcessPendingMessages();  // the message the nested drain left for later
  EXPECT_EQ(o.seen, (std::vector<std::int32_t>{1, 2, 3, 100, 101, 102, 200}));
}

}  // namespace
}  // namespace core
