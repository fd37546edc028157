#pragma once
// FakeInstruments: pseudo-terminals whose slave sides the updater opens as
// COM1, COM2, ... (through UPDATER_PORTS), with a scripted instrument on each
// master side. An instrument answers each received line ("A.2000" without its
// line end) through its responder, but only while the line runs at its rate:
// at any other rate it answers with garbage bytes, as a real line would.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace updater::testing {

class FakeInstrument {
 public:
  static constexpr const char* kBlockPrefix = "A.12010#";

  /// Bytes to send back for a received line; empty: no answer.
  using Responder = std::function<std::string(const std::string& line)>;
  /// Bytes to send back for a chunk that holds no line end (probes).
  using ProbeResponder = std::function<std::string(const std::string& bytes)>;

  FakeInstrument(int master, speed_t rate) : master_(master), rate_(rate) {}
  ~FakeInstrument() { Stop(); }
  FakeInstrument(const FakeInstrument&) = delete;
  FakeInstrument& operator=(const FakeInstrument&) = delete;

  /// Set before Start.
  Responder onLine;
  ProbeResponder onProbe;

  void Start() {
    thread_ = std::thread([this] { Serve(); });
  }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }

  /// Every line received, in order, without line ends.
  std::vector<std::string> Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  /// Every byte received.
  std::string Raw() const {
    std::lock_guard lock(mutex_);
    return raw_;
  }
  /// Sends bytes unasked (thread-safe).
  void Send(const std::string& bytes) const { (void)!::write(master_, bytes.data(), bytes.size()); }

 private:
  bool AtRate() const {
    termios t{};
    if (::tcgetattr(master_, &t) != 0) return false;
    return rate_ == 0 || cfgetospeed(&t) == rate_;
  }

  // A Lab data block "A.12010#" + length byte + data has no line end: it is
  // complete when its data is. Everything else ends at CR LF.
  static std::size_t LineEnd(const std::string& pending) {
    if (pending.rfind(kBlockPrefix, 0) == 0) {
      if (pending.size() < 9) return std::string::npos;
      const std::size_t size = 9 + static_cast<unsigned char>(pending[8]);
      return pending.size() >= size ? size : std::string::npos;
    }
    return pending.find("\r\n");
  }

  static bool HasBinary(const std::string& bytes) {
    for (char c : bytes) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x20 || byte >= 0x7F) return true;
    }
    return false;
  }

  void Serve() {
    std::string pending;
    while (!stop_) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 5) <= 0) continue;
      char buffer[512];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) continue;
      const std::string chunk(buffer, static_cast<std::size_t>(n));
      {
        std::lock_guard lock(mutex_);
        raw_ += chunk;
      }
      if (!AtRate()) {
        Send("\xF0\xF8\x80");
        pending.clear();
        continue;
      }
      pending += chunk;
      if (LineEnd(pending) == std::string::npos) {
        if (onProbe && HasBinary(pending) && pending.rfind(kBlockPrefix, 0) != 0) {
          Send(onProbe(pending));
          pending.clear();
        }
        continue;
      }
      for (std::size_t end = LineEnd(pending); end != std::string::npos; end = LineEnd(pending)) {
        const bool block = pending.rfind(kBlockPrefix, 0) == 0;
        const std::string line = pending.substr(0, end);
        pending.erase(0, block ? end : end + 2);
        if (line.empty()) continue;
        {
          std::lock_guard lock(mutex_);
          lines_.push_back(line);
        }
        if (onLine) Send(onLine(line));
      }
    }
  }

  int master_;
  speed_t rate_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  std::string raw_;
};

/// `count` pseudo-terminals with an instrument on each; the list of slaves
/// goes to UPDATER_PORTS. Instrument i answers at `rates[i]` (0: any rate).
class FakeInstruments {
 public:
  explicit FakeInstruments(const std::vector<speed_t>& rates) {
    std::string list;
    for (speed_t rate : rates) {
      int master = -1, slave = -1;
      char name[256] = {};
      if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) continue;
      masters_.push_back(master);
      slaves_.push_back(slave);  // kept open: the master reads EIO without a slave
      instruments_.push_back(std::make_unique<FakeInstrument>(master, rate));
      list += (list.empty() ? "" : ",") + std::string(name);
    }
    ::setenv("UPDATER_PORTS", list.c_str(), 1);
  }
  ~FakeInstruments() {
    for (auto& instrument : instruments_) instrument->Stop();
    ::unsetenv("UPDATER_PORTS");
    for (int fd : masters_) ::close(fd);
    for (int fd : slaves_) ::close(fd);
  }
  FakeInstruments(const FakeInstruments&) = delete;
  FakeInstruments& operator=(const FakeInstruments&) = delete;

  FakeInstrument& operator[](std::size_t i) { return *instruments_[i]; }
  std::size_t Count() const { return instruments_.size(); }
  void StartAll() {
    for (auto& instrument : instruments_) instrument->Start();
  }

 private:
  std::vector<int> masters_;
  std::vector<int> slaves_;
  std::vector<std::unique_ptr<FakeInstrument>> instruments_;
};

}  // namespace updater::testing
