#include "serial/writer_thread.h"

#include <cstring>

namespace serial {

using Status = platform::SerialWriteResult::Status;

TV24Write_Thread::TV24Write_Thread(platform::SerialPort& port)
    : port_(port), buffer_(new char[kBufferSize]) {}

TV24Write_Thread::~TV24Write_Thread() { Stop(); }

void TV24Write_Thread::Start() {
  thread_ = std::thread([this] { Execute(); });
}

bool TV24Write_Thread::WaitUntilParked(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return parked_.wait_for(lock, limit, [this] { return state_ != State::kStarting; }) &&
         state_ == State::kReady;
}

void TV24Write_Thread::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

int TV24Write_Thread::Submit(const char* data, std::size_t size, bool async) {
  {
    std::lock_guard lock(mutex_);
    if (state_ != State::kReady || stop_) return kBusy;
  }
  if (error_) return kShortWrite;
  // Parked: only this (the owner's) thread can change the state now.
  std::memcpy(buffer_.get(), data, size);
  pending_ = size;
  if (!async) return WriteStep();
  {
    std::lock_guard lock(mutex_);
    state_ = State::kBusy;
  }
  wake_.notify_one();
  return static_cast<int>(size);
}

int TV24Write_Thread::WriteStep() {
  const platform::SerialWriteResult r = port_.Write(buffer_.get(), pending_);
  const std::size_t wanted = pending_;
  pending_ = 0;
  // A device that vanished rejects the write; that ends the request without
  // marking the line as faulty.
  if (r.status == Status::kBadCommand) return 0;
  if (r.written < wanted) {
    error_ = true;
    return kShortWrite;
  }
  return static_cast<int>(r.written);
}

void TV24Write_Thread::Execute() {
  std::unique_lock lock(mutex_);
  if (stop_) {  // stopped before it ever ran
    state_ = State::kEnded;
    return;
  }
  for (;;) {
    if (state_ == State::kBusy) {
      lock.unlock();
      WriteStep();
      lock.lock();
    }
    if (stop_) break;
    state_ = State::kReady;
    parked_.notify_all();
    wake_.wait(lock, [this] { return state_ == State::kBusy || stop_; });
  }
  state_ = State::kEnded;
  parked_.notify_all();
}

}  // namespace serial
