#include "platform/plain_message_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace platform {
namespace {

using std::chrono::milliseconds;

TEST(PlainMessageLoop, DeliversPostsFromOtherThreadsInOrder) {
  PlainMessageLoop loop;
  std::vector<std::intptr_t> got;
  loop.SetMessageHandler([&](const Message& m) { got.push_back(m.param); });
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i) loop.Post({1, i});
  });
  const Tick deadline = loop.GetClock().Now() + 2000;
  while (got.size() < 100 && !TickReached(loop.GetClock().Now(), deadline)) {
    loop.WaitForMessage(deadline);
    loop.ProcessPendingMessages();
  }
  poster.join();
  ASSERT_EQ(got.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(got[i], i);
}

TEST(PlainMessageLoop, WaitWakesOnPostAndOtherwiseAtTheDeadline) {
  PlainMessageLoop loop;
  const Clock& clock = loop.GetClock();
  Tick start = clock.Now();
  EXPECT_FALSE(loop.WaitForMessage(start + 60));
  EXPECT_GE(clock.Now() - start, 60u);

  std::thread poster([&] {
    std::this_thread::sleep_for(milliseconds(20));
    loop.Post({7, 0});
  });
  start = clock.Now();
  EXPECT_TRUE(loop.WaitForMessage(start + 5000));
  EXPECT_LT(clock.Now() - start, 1000u);
  poster.join();
}

// A message posted by a handler waits for the next round, so a handler that
// keeps posting cannot trap the caller.
TEST(PlainMessageLoop, ProcessesOnlyWhatWasPendingAtTheCall) {
  PlainMessageLoop loop;
  int delivered = 0;
  loop.SetMessageHandler([&](const Message&) {
    ++delivered;
    loop.Post({2, 0});
  });
  loop.Post({1, 0});
  loop.ProcessPendingMessages();
  EXPECT_EQ(delivered, 1);
  loop.ProcessPendingMessages();
  EXPECT_EQ(delivered, 2);
}

TEST(PlainMessageLoop, TimersWakeTheWaitAndStopWhenDisabled) {
  PlainMessageLoop loop;
  int expiries = 0;
  auto timer = loop.CreateTimer([&] { ++expiries; });
  timer->SetInterval(30);
  EXPECT_FALSE(timer->Enabled());
  timer->SetEnabled(true);
  const Tick start = loop.GetClock().Now();
  EXPECT_TRUE(loop.WaitForMessage(start + 5000));  // woken by the timer
  EXPECT_LT(loop.GetClock().Now() - start, 1000u);
  loop.ProcessPendingMessages();
  EXPECT_EQ(expiries, 1);
  timer->SetEnabled(false);
  EXPECT_FALSE(loop.WaitForMessage(loop.GetClock().Now() + 60));
  loop.ProcessPendingMessages();
  EXPECT_EQ(expiries, 1);
}

TEST(PlainMessageLoop, RefusesPostsAfterShutdown) {
  PlainMessageLoop loop;
  EXPECT_TRUE(loop.Post({1, 0}));
  loop.Shutdown();
  EXPECT_FALSE(loop.Post({1, 0}));
}

}  // namespace
}  // namespace platform
