// Serial component figures:
//  (a) Check_AllV24 over the 256 port numbers with the default discovery of
//      this machine (UPDATER_PORTS unset), and with an explicit list of four
//      pseudo-terminals;
//  (b) CPU time of an open port idling for 10 s with a notification
//      outstanding (data arrived, the owner never reads).
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/plain_message_loop.h"
#include "serial/com_port.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Pty {
  int master = -1;
  int slave = -1;
  std::string path;
  Pty() {
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) == 0) path = name;
  }
  ~Pty() {
    close(master);
    close(slave);
  }
};

// Median and worst of `runs` rescans, in milliseconds.
void MeasureScan(const char* label, int runs) {
  serial::TComPort port;  // its constructor scans once already
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    port.Check_AllV24();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  std::printf(
      "Check_AllV24 (%s): %d present, %d usable; median %.3f ms, worst %.3f ms over %d runs\n",
      label, port.GetMaxV24Devices(), port.GetMaxV24Useable(), ms[ms.size() / 2], ms.back(), runs);
  for (int i = 0; i < port.GetMaxV24Devices(); ++i)
    std::printf("  %s\n", port.PortLabel(port.Get_DeviceV24(i)).c_str());
}

void MeasureIdle(int seconds) {
  Pty pty;
  setenv("UPDATER_PORTS", pty.path.c_str(), 1);
  platform::PlainMessageLoop loop;
  int notifications = 0;
  loop.SetMessageHandler([&](const platform::Message& m) {
    if (m.number == serial::WM_V24_RXDATA) ++notifications;
  });
  serial::TComPort port;
  if (port.Open(&loop, 0, false) <= 0) {
    std::printf("idle: cannot open %s\n", pty.path.c_str());
    return;
  }
  if (write(pty.master, "data", 4) != 4) return;
  // Wait for the notification, then never read.
  const platform::Tick until = loop.GetClock().Now() + 2000;
  while (notifications == 0 && !platform::TickReached(loop.GetClock().Now(), until)) {
    loop.WaitForMessage(until);
    loop.ProcessPendingMessages();
  }
  const double cpu = CpuSeconds();
  const auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double used = CpuSeconds() - cpu;
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  loop.ProcessPendingMessages();
  std::printf(
      "idle open port, notification outstanding: %.3f ms CPU in %.1f s (%d notification%s)\n",
      used * 1000.0, wall, notifications, notifications == 1 ? "" : "s");
  port.Close();
  unsetenv("UPDATER_PORTS");
}

}  // namespace

int main(int argc, char** argv) {
  const int idleSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  unsetenv("UPDATER_PORTS");
  MeasureScan("default discovery", 50);
  {
    std::vector<std::unique_ptr<Pty>> ptys;
    std::string list;
    for (int i = 0; i < 4; ++i) {
      ptys.push_back(std::make_unique<Pty>());
      list += (i ? ":" : "") + ptys.back()->path;
    }
    setenv("UPDATER_PORTS", list.c_str(), 1);
    MeasureScan("four pseudo-terminals", 50);
    unsetenv("UPDATER_PORTS");
  }
  MeasureIdle(idleSeconds);
  return 0;
}
