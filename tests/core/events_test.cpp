#include "core/events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace core {
namespace {

TEST(EventQueue, NewQueueFetchesEmptyAndKeepsPositions) {
  TEvents q;
  EXPECT_TRUE(q.FetchEvent().Empty());
  EXPECT_EQ(q.ReadPosition(), 0);
  EXPECT_EQ(q.WritePosition(), 0);
}

TEST(EventQueue, FiftyInOrderThenWrapAtStart) {
  TEvents q;
  for (int i = 1; i <= 50; ++i) q.PostMessage(i, static_cast<std::uintptr_t>(i * 10));
  for (int i = 1; i <= 50; ++i) {
    const TEventRecord e = q.FetchEvent();
    EXPECT_EQ(e.Kind, EVT_MSG);
    EXPECT_EQ(e.Code, i);
    EXPECT_EQ(e.Data, static_cast<std::uintptr_t>(i * 10));
  }
  EXPECT_TRUE(q.FetchEvent().Empty());
  q.PostMessage(77);
  EXPECT_EQ(q.WritePosition(), 16);  // written at the start: the wrap happened lazily
  EXPECT_EQ(q.FetchEvent().Code, 77);
  EXPECT_TRUE(q.FetchEvent().Empty());
}

TEST(EventQueue, CodeZeroPostsOnlyAsCommand) {
  TEvents q;
  q.PostMessage(0, 5);
  q.PostTimer(0);
  EXPECT_EQ(q.PendingCount(), 0);
  q.PostCommand(0);
  q.PostCommand(13, true);
  EXPECT_EQ(q.FetchEvent(), (TEventRecord{EVT_CMD, 0, 0, 0}));
  EXPECT_EQ(q.FetchEvent(), (TEventRecord{EVT_CMD_ALT, 0, 13, 0}));
  q.PostTimer(3);
  EXPECT_EQ(q.FetchEvent(), (TEventRecord{EVT_TIMER, 0, 3, 0}));
}

// More than the ring holds: nothing is overwritten, the order survives, also
// when posting continues while the overflow drains.
TEST(EventQueue, OverflowKeepsEveryEventInOrder) {
  TEvents q;
  for (int i = 1; i <= 70; ++i) q.PostMessage(i);
  EXPECT_EQ(q.PendingCount(), 70);
  EXPECT_EQ(q.OverflowCount(), 20u);
  int expected = 1;
  for (int i = 0; i < 10; ++i) EXPECT_EQ(q.FetchEvent().Code, expected++);
  q.PostMessage(71);
  for (; expected <= 71; ++expected) EXPECT_EQ(q.FetchEvent().Code, expected);
  EXPECT_TRUE(q.FetchEvent().Empty());
  q.PostMessage(72);  // back to the ring
  EXPECT_EQ(q.FetchEvent().Code, 72);
}

// A subscriber that records what it saw and optionally consumes or changes it.
struct Recorder {
  std::string name;
  std::vector<std::string>* log;
  bool consume = false;
  std::int32_t rewriteTo = 0;
  static TEventRecord Call(void* self, TEvents&, TEventRecord e) {
    auto* r = static_cast<Recorder*>(self);
    r->log->push_back(r->name + ":" + std::to_string(e.Code));
    if (r->consume) return TEvents::ClearEvent(e);
    if (r->rewriteTo != 0) e.Code = r->rewriteTo;
    return e;
  }
};

TEST(Subscribers, NewestFirstAndConsumptionChains) {
  std::vector<std::string> log;
  Recorder a{"A", &log}, b{"B", &log}, c{"C", &log};
  TEvents q;
  q.Subscribe(Recorder::Call, &a);
  q.Subscribe(Recorder::Call, &b);
  q.Subscribe(Recorder::Call, &c);
  TEventRecord e{EVT_MSG, 0, 5, 0};
  EXPECT_EQ(q.Broadcast(e).Code, 5);
  EXPECT_EQ(log, (std::vector<std::string>{"C:5", "B:5", "A:5"}));

  log.clear();
  c.rewriteTo = 6;
  b.consume = true;
  EXPECT_TRUE(q.Broadcast(e).Empty());
  EXPECT_EQ(log, (std::vector<std::string>{"C:5", "B:6", "A:0"}));
}

TEST(Subscribers, PairsAreUniqueAndUnsubscribeReports) {
  std::vector<std::string> log;
  Recorder a{"A", &log}, b{"B", &log};
  TEvents q;
  EXPECT_TRUE(q.Subscribe(Recorder::Call, &a));
  EXPECT_TRUE(q.Subscribe(Recorder::Call, &a));
  q.Subscribe(Recorder::Call, &b);
  q.Broadcast({EVT_MSG, 0, 1, 0});
  EXPECT_EQ(log.size(), 2u);
  EXPECT_FALSE(q.Unsubscribe(Recorder::Call, &log));
  EXPECT_TRUE(q.Unsubscribe(Recorder::Call, &a));
  EXPECT_TRUE(q.Unsubscribe(Recorder::Call, &b));
  EXPECT_FALSE(q.Unsubscribe(Recorder::Call, &b));
  const TEventRecord e{EVT_MSG, 0, 9, 0};
  EXPECT_EQ(q.Broadcast(e), e);  // nobody left: the event comes back unchanged
}

// Subscriptions changed during a broadcast take effect from the next one.
struct Mutator {
  TEvents* q;
  Recorder* other;
  std::vector<std::string>* log;
  bool unsubscribeSelf = false;
  static TEventRecord Call(void* self, TEvents& q, TEventRecord e) {
    auto* m = static_cast<Mutator*>(self);
    m->log->push_back("M:" + std::to_string(e.Code));
    if (m->unsubscribeSelf) q.Unsubscribe(Mutator::Call, m);
    if (m->other) q.Subscribe(Recorder::Call, m->other);
    return e;
  }
};

TEST(Subscribers, SnapshotRuleUnderSubscribeAndUnsubscribe) {
  std::vector<std::string> log;
  Recorder late{"L", &log};
  Mutator m{nullptr, &late, &log, true};
  TEvents q;
  q.Subscribe(Mutator::Call, &m);
  q.Broadcast({EVT_MSG, 0, 1, 0});
  EXPECT_EQ(log, (std::vector<std::string>{"M:1"}));
  q.Broadcast({EVT_MSG, 0, 2, 0});
  EXPECT_EQ(log, (std::vector<std::string>{"M:1", "L:2"}));
}

}  // namespace
}  // namespace core
