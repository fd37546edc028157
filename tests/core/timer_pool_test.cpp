#include "core/timer_pool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "core/delay.h"
#include "core/event_drain.h"
#include "platform/plain_message_loop.h"

namespace core {
namespace {

struct Pool {
  platform::PlainMessageLoop loop;
  TEvents events;
  TEventDrain drain{events, loop};
  TTimerPool pool{loop, events, [this] { drain.ProcessEvents(); }};
  TDelay delay{loop};
  std::vector<std::int32_t> expiries;

  Pool() {
    pool.TimerRegister(5);
    events.Subscribe(&Pool::Call, this);
    delay.SetEnable(true);
  }
  static TEventRecord Call(void* self, TEvents&, TEventRecord e) {
    if (e.Kind == EVT_TIMER) static_cast<Pool*>(self)->expiries.push_back(e.Code);
    return TEvents::ClearEvent(e);
  }
};

TEST(TimerPool, SlotAllocationAndRearmingTheLast) {
  Pool p;
  for (int expected = 1; expected <= 5; ++expected) EXPECT_EQ(p.pool.TimerStart(1000), expected);
  EXPECT_EQ(p.pool.TimerStart(250), 5);  // all taken: the last slot serves both
  EXPECT_EQ(p.pool.Timer(5)->Interval(), 250u);
  EXPECT_EQ(p.pool.TimerStop(2), 0);
  EXPECT_FALSE(p.pool.Timer(2)->Enabled());
  EXPECT_EQ(p.pool.TimerStart(1000), 2);
  EXPECT_EQ(p.pool.TimerStop(0), 0);
  EXPECT_EQ(p.pool.TimerStop(-1), 0);
  EXPECT_TRUE(p.pool.InUse(1));
}

TEST(TimerPool, ExpiriesArriveAsTimerEventsUntilStopped) {
  Pool p;
  const auto start = std::chrono::steady_clock::now();
  const std::int32_t slot = p.pool.TimerStart(40);
  // Expiries the loop could not take in time run together into one, as on a
  // loaded machine: so wait for two instead of counting them in a fixed time.
  for (int period = 0; period < 50 && p.expiries.size() < 2; ++period) p.delay.DelayTime(40, true);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  ASSERT_GE(p.expiries.size(), 2u);
  EXPECT_LE(p.expiries.size(), static_cast<std::size_t>(elapsed / std::chrono::milliseconds(40)) + 1)
      << "expiries came faster than the timer's period";
  for (std::int32_t code : p.expiries) EXPECT_EQ(code, slot);
  p.pool.TimerStop(slot);
  p.expiries.clear();
  p.delay.DelayTime(100, true);
  EXPECT_TRUE(p.expiries.empty());
}

TEST(TimerPool, RestartPostponesAndFreeSlotIgnored) {
  Pool p;
  p.pool.TimerRestart(3);  // free slot: nothing happens
  EXPECT_FALSE(p.pool.Timer(3)->Enabled());
  const std::int32_t slot = p.pool.TimerStart(200);
  p.delay.DelayTime(120, true);
  p.pool.TimerRestart(slot);
  p.delay.DelayTime(120, true);  // 240 ms after the start, 120 after the restart
  EXPECT_TRUE(p.expiries.empty());
  p.delay.DelayTime(120, true);
  EXPECT_EQ(p.expiries.size(), 1u);
}

TEST(TimerPool, ExpiryOfADisabledTimerIsDropped) {
  Pool p;
  const std::int32_t slot = p.pool.TimerStart(10);
  p.pool.Timer(slot)->SetEnabled(false);
  p.pool.TimerIntervall(slot);
  p.drain.ProcessEvents();
  EXPECT_TRUE(p.expiries.empty());
}

}  // namespace
}  // namespace core
