#pragma once
// TV24Read_Thread: announces arrivals and line errors of one open port to the
// owner's message loop. It never reads data itself.
//
// Notification flag: set when WM_V24_RXDATA is posted, cleared by the owner
// (Read, Reset_SetAktiv), when posting fails, and by the watchdog. While it is
// set, the first further arrival is only noted; the second starts a 5-second
// watchdog, and once that has run out the next pass (at least one per 1000 ms
// slice) posts again. After each post the thread pauses for the notification
// delay. All durations are logical milliseconds of the owner loop's clock.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/message_loop.h"
#include "platform/serial_driver.h"

namespace serial {

class TV24Read_Thread {
 public:
  static constexpr platform::Tick kSliceMs = 1000;
  static constexpr platform::Tick kWatchdogMs = 5000;

  /// `owner` may be null (nothing is posted); `port` must outlive the thread.
  TV24Read_Thread(platform::MessageLoop* owner, platform::SerialPort& port, int portNumber,
                  std::uint32_t delayMs);
  ~TV24Read_Thread();  ///< stops the thread if it still runs
  TV24Read_Thread(const TV24Read_Thread&) = delete;
  TV24Read_Thread& operator=(const TV24Read_Thread&) = delete;

  void Start();
  /// Asks the thread to end, wakes it, and waits until it has ended.
  void Stop();

  /// Owner thread: the next arrival will be announced again.
  void ClearNotification();
  bool NotificationOutstanding() const;

  void SetDelay(std::uint32_t ms) { delay_ = ms; }
  std::uint32_t Delay() const { return delay_; }

 private:
  struct PassState {
    bool seenWhileOutstanding = false;
    bool watchdogRunning = false;
    platform::Tick watchdogStart = 0;
    unsigned savedMask = 0;
  };

  void Execute();
  void OnArrival(unsigned events, PassState& state);
  void OnLineError();
  bool Post(std::uint32_t message);
  void Pause(std::uint32_t ms);

  platform::MessageLoop* const owner_;
  platform::SerialPort& port_;
  const int portNumber_;
  const platform::Clock& clock_;
  std::atomic<std::uint32_t> delay_;

  mutable std::mutex flagLock_;  // the lock of the notification flag
  bool notified_ = false;

  std::mutex stopLock_;
  std::condition_variable stopSignal_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace serial
