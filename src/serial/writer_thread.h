#pragma once
// TV24Write_Thread: the writer of one open port, with its own 32768-byte
// transmit buffer. It parks on a condition variable and is woken by a request
// or by Stop.
//
// States: starting (refuses requests) -> ready (parked) -> busy (writing an
// asynchronous request) -> ready ... ; stopping once Stop is called (a pending
// request is still written). The write-error flag is set by a short write and
// stays set (every request is refused with -100) until ClearError; a new
// writer starts with it clear.
//
// Threads: Submit, ClearError, WaitUntilParked and Stop on the owner thread.
// The owner fills the request only while the writer is parked, and a
// synchronous request runs on the owner thread while the writer stays parked.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/serial_driver.h"

namespace serial {

class TV24Write_Thread {
 public:
  static constexpr std::size_t kBufferSize = 32768;
  static constexpr int kBusy = -1;
  static constexpr int kShortWrite = -100;

  explicit TV24Write_Thread(platform::SerialPort& port);
  ~TV24Write_Thread();  ///< stops the thread if it still runs
  TV24Write_Thread(const TV24Write_Thread&) = delete;
  TV24Write_Thread& operator=(const TV24Write_Thread&) = delete;

  void Start();
  /// Blocks until the new writer has parked for the first time, at most `limit`.
  bool WaitUntilParked(std::chrono::milliseconds limit);
  /// Stops: a pending request is written first; waits until the thread has ended.
  void Stop();

  /// Hands `size` bytes (at most kBufferSize) to the writer. Not parked: kBusy.
  /// Error flag set: kShortWrite. Asynchronous: wakes the writer and returns
  /// `size`. Synchronous: writes on the caller's thread and returns the bytes
  /// written, kShortWrite for a short write (setting the flag), or 0 when the
  /// device rejected the write.
  int Submit(const char* data, std::size_t size, bool async);

  void ClearError() { error_ = false; }
  bool ErrorFlag() const { return error_; }

 private:
  enum class State { kStarting, kReady, kBusy, kEnded };

  void Execute();
  int WriteStep();

  platform::SerialPort& port_;
  std::unique_ptr<char[]> buffer_;
  std::size_t pending_ = 0;  // the request: see the threads note above
  std::atomic<bool> error_{false};

  std::mutex mutex_;                // guards state_ and stop_
  std::condition_variable wake_;    // owner -> writer: a request or Stop
  std::condition_variable parked_;  // writer -> owner: ready
  State state_ = State::kStarting;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace serial
