// Runtime-core figures:
//  (a) latency from posting to the subscriber's call through ProcessEvents,
//      in-thread (PostMessage + ProcessEvents) and across threads (a reader
//      thread posts a window message, the main thread waits in the loop);
//  (b) CPU time consumed by an idle DelayTime(2000, true).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include "core/delay.h"
#include "core/event_drain.h"
#include "core/events.h"
#include "platform/plain_message_loop.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Bench {
  platform::PlainMessageLoop loop;
  core::TEvents events;
  core::TEventDrain drain{events, loop};
  Clock::time_point calledAt;
  int calls = 0;

  Bench() {
    events.Subscribe(&Bench::OnEvent, this);
    loop.SetMessageHandler([this](const platform::Message& m) {
      events.PostMessage(10000, static_cast<std::uintptr_t>(m.param));
      drain.ProcessEvents();
    });
  }
  static core::TEventRecord OnEvent(void* self, core::TEvents&, core::TEventRecord e) {
    auto* b = static_cast<Bench*>(self);
    b->calledAt = Clock::now();
    ++b->calls;
    return core::TEvents::ClearEvent(e);
  }
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void InThreadLatency(Bench& b) {
  std::vector<double> ns;
  for (int i = 0; i < 100000; ++i) {
    const auto t0 = Clock::now();
    b.events.PostMessage(42, 1);
    b.drain.ProcessEvents();
    ns.push_back(std::chrono::duration<double, std::nano>(b.calledAt - t0).count());
  }
  std::printf("(a) PostMessage -> subscriber via ProcessEvents, same thread: median %.0f ns (100000 events)\n",
              Median(ns));
}

void CrossThreadLatency(Bench& b) {
  std::vector<double> us;
  for (int i = 0; i < 2000; ++i) {
    const int before = b.calls;
    Clock::time_point postedAt;
    std::thread reader([&] {
      postedAt = Clock::now();
      b.loop.Post({0x87D0, 1});
    });
    while (b.calls == before) {
      b.loop.WaitForMessage(b.loop.GetClock().Now() + 1000);
      b.loop.ProcessPendingMessages();
    }
    reader.join();
    us.push_back(std::chrono::duration<double, std::micro>(b.calledAt - postedAt).count());
  }
  std::printf("(a) window message from another thread -> subscriber: median %.1f us (2000 messages)\n",
              Median(us));
}

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void IdleDelayCpu(Bench& b) {
  core::TDelay delay(b.loop);
  delay.SetEnable(true);
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  delay.DelayTime(2000, true);
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  const double cpu = CpuSeconds() - cpu0;
  std::printf("(b) DelayTime(2000, true) idle: wall %.3f s, CPU %.6f s (%.4f %% of wall)\n", wall, cpu,
              100.0 * cpu / wall);
}

}  // namespace

int main() {
  Bench b;
  InThreadLatency(b);
  CrossThreadLatency(b);
  IdleDelayCpu(b);
  return 0;
}
