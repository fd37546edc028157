#include "core/delay.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/plain_message_loop.h"

namespace core {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

long ElapsedMs(steady_clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<milliseconds>(steady_clock::now() - since).count());
}

TEST(Delay, EnableAndDividend) {
  platform::PlainMessageLoop loop;
  TDelay delay(loop);
  auto t0 = steady_clock::now();
  delay.DelayTime(500, false);  // disabled by default: returns at once
  EXPECT_LT(ElapsedMs(t0), 50);

  delay.SetEnable(true);
  delay.SetDividend(2);
  t0 = steady_clock::now();
  delay.DelayTime(500, false);
  const long waited = ElapsedMs(t0);
  EXPECT_GE(waited, 250);
  EXPECT_LT(waited, 400);

  delay.SetDividend(0);
  EXPECT_EQ(delay.Dividend(), 1);
  delay.SetDividend(-3);
  EXPECT_EQ(delay.Dividend(), 1);
}

// A window message posted by another thread is delivered inside a pumping
// wait, and only after a wait that does not pump.
TEST(Delay, PumpingWaitDeliversCrossThreadPosts) {
  for (bool pump : {true, false}) {
    platform::PlainMessageLoop loop;
    TDelay delay(loop);
    delay.SetEnable(true);
    std::atomic<bool> delivered{false};
    bool deliveredDuringWait = false;
    loop.SetMessageHandler([&](const platform::Message& m) { delivered = m.number == 42; });
    std::thread poster([&] {
      std::this_thread::sleep_for(milliseconds(30));
      loop.Post({42, 7});
    });
    const auto t0 = steady_clock::now();
    delay.DelayTime(150, pump);
    deliveredDuringWait = delivered;
    poster.join();
    EXPECT_GE(ElapsedMs(t0), 150);
    EXPECT_EQ(deliveredDuringWait, pump) << "pump=" << pump;
    loop.ProcessPendingMessages();
    EXPECT_TRUE(delivered);
  }
}

TEST(Delay, ZeroWaitStillProcessesOnce) {
  platform::PlainMessageLoop loop;
  TDelay delay(loop);
  delay.SetEnable(true);
  int delivered = 0;
  loop.SetMessageHandler([&](const platform::Message&) { ++delivered; });
  loop.Post({1, 0});
  delay.DelayTime(0, true);
  EXPECT_EQ(delivered, 1);
}

}  // namespace
}  // namespace core
