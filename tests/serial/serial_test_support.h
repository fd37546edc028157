#pragma once
// Test fixtures for the serial component: pseudo-terminal pairs (the component
// on the slave side, the test as the instrument on the master side), a fast
// clock, a message loop that records posts, and a driver wrapper that behaves
// like a real UART in keeping the data bits and parity it was given.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/message_loop.h"
#include "platform/serial_driver.h"

namespace serial::test {

/// One pseudo-terminal. The test keeps its own slave descriptor open (without
/// a lock), so the terminal outlives the component's open and close.
class PtyPair {
 public:
  PtyPair() {
    char name[128] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) == 0) path_ = name;
    termios t{};
    ::tcgetattr(master_, &t);
    cfmakeraw(&t);
    ::tcsetattr(master_, TCSANOW, &t);
  }
  ~PtyPair() {
    ::close(master_);
    ::close(slave_);
  }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& path() const { return path_; }
  int slaveFd() const { return slave_; }

  /// The instrument sends bytes to the component.
  void Send(const std::string& bytes) const {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  /// What the instrument received: up to `n` bytes, waiting at most `ms` real ms
  /// for each further byte.
  std::string Receive(std::size_t n, int ms = 500) const {
    std::string got;
    while (got.size() < n) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, ms) <= 0) break;
      char buf[4096];
      const ssize_t r = ::read(master_, buf, std::min(sizeof buf, n - got.size()));
      if (r <= 0) break;
      got.append(buf, static_cast<std::size_t>(r));
    }
    return got;
  }

  /// The line settings the slave side set, as the instrument sees them.
  termios LineAsSeen() const {
    termios t{};
    ::tcgetattr(master_, &t);
    return t;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

/// Sets UPDATER_PORTS for the lifetime of the object.
class PortsEnv {
 public:
  explicit PortsEnv(const std::vector<std::string>& paths) {
    std::string list;
    for (const std::string& p : paths) list += (list.empty() ? "" : ":") + p;
    ::setenv("UPDATER_PORTS", list.c_str(), 1);
  }
  ~PortsEnv() { ::unsetenv("UPDATER_PORTS"); }
};

/// Holds a device the way another program would: its own open file with flock.
class ForeignHolder {
 public:
  explicit ForeignHolder(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
    ::flock(fd_, LOCK_EX | LOCK_NB);
  }
  ~ForeignHolder() { ::close(fd_); }

 private:
  int fd_;
};

/// Logical time `scale` times faster than real time.
class FastClock final : public platform::Clock {
 public:
  explicit FastClock(double scale) : scale_(scale), origin_(std::chrono::steady_clock::now()) {}
  platform::Tick Now() const override {
    const double real =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - origin_)
            .count();
    return static_cast<platform::Tick>(real * scale_);
  }
  void Sleep(platform::Tick ms) const override { std::this_thread::sleep_for(RealDuration(ms)); }
  std::chrono::nanoseconds RealDuration(platform::Tick ms) const override {
    return std::chrono::nanoseconds(static_cast<std::int64_t>(ms * 1.0e6 / scale_));
  }

 private:
  double scale_;
  std::chrono::steady_clock::time_point origin_;
};

/// The owner's loop as the reader thread sees it: records every post, with the
/// logical time it came, and can refuse posts.
class RecordingLoop final : public platform::MessageLoop {
 public:
  struct Posted {
    platform::Message message;
    platform::Tick at;
  };

  explicit RecordingLoop(const platform::Clock& clock) : clock_(clock) {}

  bool Post(platform::Message message) override {
    std::lock_guard lock(mutex_);
    if (refuse_) return false;
    posts_.push_back({message, clock_.Now()});
    arrived_.notify_all();
    return true;
  }

  /// Waits up to `logicalMs` for a post of `number` beyond the first `seen`
  /// posts of that number; true when it came (copied to `out`).
  bool WaitFor(std::uint32_t number, std::size_t seen, platform::Tick logicalMs,
               Posted* out = nullptr) {
    std::unique_lock lock(mutex_);
    const bool got = arrived_.wait_for(lock, clock_.RealDuration(logicalMs),
                                       [&] { return CountLocked(number) > seen; });
    if (got && out != nullptr) *out = NthLocked(number, seen);
    return got;
  }

  std::size_t Count(std::uint32_t number) const {
    std::lock_guard lock(mutex_);
    return CountLocked(number);
  }
  std::vector<std::uint32_t> Numbers() const {
    std::lock_guard lock(mutex_);
    std::vector<std::uint32_t> numbers;
    for (const auto& p : posts_) numbers.push_back(p.message.number);
    return numbers;
  }
  std::vector<Posted> Posts() const {
    std::lock_guard lock(mutex_);
    return posts_;
  }
  void SetRefusing(bool refuse) {
    std::lock_guard lock(mutex_);
    refuse_ = refuse;
  }

  void SetMessageHandler(MessageHandler) override {}
  std::unique_ptr<platform::Timer> CreateTimer(std::function<void()>) override { return nullptr; }
  void ProcessPendingMessages() override {}
  bool WaitForMessage(platform::Tick) override { return false; }
  void IdleWithoutDelivering(platform::Tick ms) override { clock_.Sleep(ms); }
  const platform::Clock& GetClock() const override { return clock_; }

 private:
  std::size_t CountLocked(std::uint32_t number) const {
    std::size_t n = 0;
    for (const auto& p : posts_) n += p.message.number == number;
    return n;
  }
  Posted NthLocked(std::uint32_t number, std::size_t index) const {
    for (const auto& p : posts_)
      if (p.message.number == number && index-- == 0) return p;
    return {};
  }

  const platform::Clock& clock_;
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<Posted> posts_;
  bool refuse_ = false;
};

/// A pseudo-terminal forces 8 data bits and no parity whatever it is told. This
/// driver wraps the real one and reports back the data bits and parity the
/// component last set, as a real UART would, and records every setting applied.
class UartLikeDriver final : public platform::SerialDriver {
 public:
  explicit UartLikeDriver(platform::SerialDriver& inner) : inner_(inner) {}

  void RefreshPortMap() override { inner_.RefreshPortMap(); }
  std::string PortPath(int index) const override { return inner_.PortPath(index); }
  platform::PortAccess Probe(const std::string& path) override { return inner_.Probe(path); }
  std::unique_ptr<platform::SerialPort> Open(const std::string& path, platform::PortAccess& access,
                                             std::string& error) override {
    auto port = inner_.Open(path, access, error);
    if (!port) return nullptr;
    return std::make_unique<Port>(std::move(port), applied);
  }

  /// Every settings record the component applied, in order.
  std::vector<platform::SerialLineSettings> applied;

 private:
  class Port final : public platform::SerialPort {
   public:
    Port(std::unique_ptr<platform::SerialPort> inner,
         std::vector<platform::SerialLineSettings>& log)
        : inner_(std::move(inner)), log_(log) {}
    int Handle() const override { return inner_->Handle(); }
    const std::string& Path() const override { return inner_->Path(); }
    bool GetLineSettings(platform::SerialLineSettings& s) override {
      if (!inner_->GetLineSettings(s)) return false;
      if (kept_) {
        s.byteSize = byteSize_;
        s.parity = parity_;
      }
      return true;
    }
    bool SetLineSettings(const platform::SerialLineSettings& s) override {
      log_.push_back(s);
      kept_ = true;
      byteSize_ = s.byteSize;
      parity_ = s.parity;
      return inner_->SetLineSettings(s);
    }
    platform::SerialTimeouts GetTimeouts() const override { return inner_->GetTimeouts(); }
    void SetTimeouts(const platform::SerialTimeouts& t) override { inner_->SetTimeouts(t); }
    long Read(void* b, std::size_t n) override { return inner_->Read(b, n); }
    std::size_t Queued() override { return inner_->Queued(); }
    platform::SerialWriteResult Write(const void* d, std::size_t n) override {
      return inner_->Write(d, n);
    }
    void DrainOutput(std::chrono::milliseconds limit) override { inner_->DrainOutput(limit); }
    unsigned WaitEvent(unsigned mask, platform::Tick ms, const platform::Clock& c) override {
      return inner_->WaitEvent(mask, ms, c);
    }
    void WakeWaiter() override { inner_->WakeWaiter(); }
    platform::LineErrors ClearErrors() override { return inner_->ClearErrors(); }
    void ClearBreak() override { inner_->ClearBreak(); }
    void ReportLineErrors(const platform::LineErrors& e) override { inner_->ReportLineErrors(e); }
    std::string LastError() const override { return inner_->LastError(); }
    bool Gone() const override { return inner_->Gone(); }

   private:
    std::unique_ptr<platform::SerialPort> inner_;
    std::vector<platform::SerialLineSettings>& log_;
    bool kept_ = false;
    std::uint8_t byteSize_ = 8;
    std::uint8_t parity_ = 0;
  };

  platform::SerialDriver& inner_;
};

}  // namespace serial::test
