#include "platform/posix_serial_driver.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/posix_serial_speed.h"

namespace platform {

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;
using std::chrono::milliseconds;

struct SpeedEntry {
  std::uint32_t rate;
  speed_t code;
};
constexpr SpeedEntry kSpeeds[] = {
    {50, B50},         {75, B75},          {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},        {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},      {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200},  {230400, B230400}, {460800, B460800}, {500000, B500000},
    {921600, B921600}, {1000000, B1000000}};

std::uint32_t RateOfSpeed(speed_t code) {
  for (const SpeedEntry& e : kSpeeds)
    if (e.code == code) return e.rate;
  return 0;
}

// The native snapshot: the termios found plus the exact bit rate (termios
// itself cannot hold a rate without a B* constant).
struct NativeSettings {
  termios t;
  std::uint32_t bitRate;
};
static_assert(sizeof(NativeSettings) <= sizeof(SerialLineSettings::Native::bytes),
              "the native snapshot must fit the opaque bytes");

void StoreNative(const termios& t, std::uint32_t bitRate, SerialLineSettings& s) {
  NativeSettings n{t, bitRate};
  s.native.bytes.fill(0);
  std::memcpy(s.native.bytes.data(), &n, sizeof n);
  s.native.valid = true;
}

NativeSettings LoadNative(const SerialLineSettings& s) {
  NativeSettings n;
  std::memcpy(&n, s.native.bytes.data(), sizeof n);
  return n;
}

// Milliseconds left until `deadline` for poll(), rounded up; 0 when passed.
int MsUntil(SteadyTime deadline) {
  const auto left = deadline - std::chrono::steady_clock::now();
  if (left <= SteadyTime::duration::zero()) return 0;
  const auto ms = std::chrono::ceil<milliseconds>(left).count();
  return static_cast<int>(std::min<long long>(ms, 1 << 30));
}

bool DeviceGone(int err) { return err == EIO || err == ENXIO || err == ENODEV || err == EPIPE; }

std::string ErrnoText(const std::string& path, int err) { return path + ": " + std::strerror(err); }

// Opens a device for exclusive use; -1 with `access` set on failure.
int OpenExclusive(const std::string& path, PortAccess& access, int& err) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    err = errno;
    access = (err == EACCES || err == EPERM) ? PortAccess::kNoPermission
             : err == EBUSY                  ? PortAccess::kHeld
                                             : PortAccess::kAbsent;
    return -1;
  }
  if (!::isatty(fd)) {
    ::close(fd);
    err = ENOTTY;
    access = PortAccess::kAbsent;
    return -1;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    err = errno;
    ::close(fd);
    access = (err == EWOULDBLOCK) ? PortAccess::kHeld : PortAccess::kAbsent;
    return -1;
  }
  access = PortAccess::kFree;
  return fd;
}

class PosixSerialPort final : public SerialPort {
 public:
  PosixSerialPort(int fd, std::string path) : fd_(fd), path_(std::move(path)) {
    ::ioctl(fd_, TIOCEXCL);
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
    // Edge-triggered: the reader hears of each new arrival once, however long
    // earlier bytes stay unread, so it never spins while its owner is busy.
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLET;
    ev.data.fd = fd_;
    ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd_, &ev);
    ev.events = EPOLLIN;
    ev.data.fd = wakeFd_;
    ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, wakeFd_, &ev);
    serial_icounter_struct counts{};
    hasCounters_ = ::ioctl(fd_, TIOCGICOUNT, &counts) == 0;
    if (hasCounters_) counters_ = counts;
    // lastArrivals_ starts at 0: bytes that arrive between the open (which
    // drops what was waiting) and the first wait are announced by that wait.
  }

  ~PosixSerialPort() override {
    ::ioctl(fd_, TIOCNXCL);  // the flag belongs to the device, not to this descriptor
    ::close(epollFd_);
    ::close(wakeFd_);
    ::close(fd_);
  }

  int Handle() const override { return fd_; }
  const std::string& Path() const override { return path_; }

  bool GetLineSettings(SerialLineSettings& settings) override {
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return Fail(errno);
    std::uint32_t rate = ReadBitRate(fd_);
    if (rate == 0) rate = RateOfSpeed(cfgetospeed(&t));
    settings = DecodeLineSettings(t, rate);
    ReadModemLines(settings);
    settings.discardNull = discardNull_.load();
    StoreNative(t, rate, settings);
    return true;
  }

  bool SetLineSettings(const SerialLineSettings& s) override {
    termios t{};
    if (s.native.valid) {
      // Start from the snapshot and change only what differs from it, so
      // that a snapshot applied unchanged restores the port bit for bit.
      const NativeSettings n = LoadNative(s);
      t = n.t;
      SerialLineSettings described = s;
      described.native = {};
      SerialLineSettings found = DecodeLineSettings(t, n.bitRate);
      found.rtsControl = described.rtsControl;
      found.dtrControl = described.dtrControl;
      found.discardNull = described.discardNull;
      if (!(found == described)) EncodeLineSettings(s, t);
    } else {
      if (::tcgetattr(fd_, &t) != 0) return Fail(errno);
      MakeRaw(t);
      EncodeLineSettings(s, t);
    }
    const bool standard = StandardSpeed(s.baudRate) != B0;
    if (!standard) cfsetspeed(&t, B38400);  // placeholder until termios2 sets the rate
    // Dropping zero bytes is this driver's own filter, so it follows the
    // request even when the device refuses part of it: a pty, which cannot
    // carry parity, answers a request that changes nothing else with EINVAL,
    // and a stale filter would then eat the zero bytes of a binary protocol.
    discardNull_ = s.discardNull;
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) return Fail(errno);
    WriteModemLines(s);
    if (!standard && !WriteBitRate(fd_, s.baudRate)) return RateFailed(s.baudRate, 0);
    const std::uint32_t actual = ReadBitRate(fd_);
    const std::uint32_t tolerance = s.baudRate / 50;  // 2 %: what UARTs tolerate
    if (actual != 0 && (actual + tolerance < s.baudRate || actual > s.baudRate + tolerance))
      return RateFailed(s.baudRate, actual);
    SetLastError("");
    return true;
  }

  SerialTimeouts GetTimeouts() const override {
    std::lock_guard lock(mutex_);
    return timeouts_;
  }
  void SetTimeouts(const SerialTimeouts& timeouts) override {
    std::lock_guard lock(mutex_);
    timeouts_ = timeouts;
  }

  long Read(void* buffer, std::size_t size) override {
    const SerialTimeouts to = GetTimeouts();
    const auto start = std::chrono::steady_clock::now();
    const bool totalLimit = to.readTotalMultiplier != 0 || to.readTotalConstant != 0;
    const SteadyTime totalEnd =
        start + milliseconds(std::uint64_t{to.readTotalMultiplier} * size + to.readTotalConstant);
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t got = 0;
    bool anyByte = false;
    SteadyTime lastByte = start;
    while (got < size) {
      const long n = ReadChunk(out + got, size - got);
      if (n > 0) {
        anyByte = true;
        lastByte = std::chrono::steady_clock::now();
        got += DropZeros(out + got, static_cast<std::size_t>(n));
        continue;
      }
      if (n == 0) {  // hang-up: nothing more will come
        gone_ = true;
        break;
      }
      if (errno == EINTR) continue;
      if (errno != EAGAIN) {
        Fail(errno);
        if (got == 0) return -1;
        break;
      }
      // Queue empty: wait for the earliest time-out that applies.
      int wait = totalLimit ? MsUntil(totalEnd) : -1;
      if (anyByte && to.readInterval != 0) {
        const int gap = MsUntil(lastByte + milliseconds(to.readInterval));
        wait = wait < 0 ? gap : std::min(wait, gap);
      }
      if (wait == 0) break;
      pollfd p{fd_, POLLIN, 0};
      const int r = ::poll(&p, 1, wait);
      if (r == 0) break;
      if (r < 0 && errno != EINTR) {  // asking again would fail again, at once
        Fail(errno);
        break;
      }
      if (r > 0 && !(p.revents & POLLIN)) {  // hang-up or error without data
        if (p.revents & POLLHUP) gone_ = true;
        break;
      }
    }
    return static_cast<long>(got);
  }

  std::size_t Queued() override {
    int queued = 0;
    if (::ioctl(fd_, FIONREAD, &queued) != 0) return 0;
    return static_cast<std::size_t>(std::max(queued, 0));
  }

  SerialWriteResult Write(const void* data, std::size_t size) override {
    const SerialTimeouts to = GetTimeouts();
    const bool limit = to.writeTotalMultiplier != 0 || to.writeTotalConstant != 0;
    const SteadyTime end =
        std::chrono::steady_clock::now() +
        milliseconds(std::uint64_t{to.writeTotalMultiplier} * size + to.writeTotalConstant);
    const auto* in = static_cast<const unsigned char*>(data);
    SerialWriteResult result;
    while (result.written < size) {
      const ssize_t n = ::write(fd_, in + result.written, size - result.written);
      if (n > 0) {
        result.written += static_cast<std::size_t>(n);
        NoteWritten(static_cast<std::size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN) {
        const int err = errno;
        Fail(err);
        result.status = DeviceGone(err) ? SerialWriteResult::Status::kBadCommand
                                        : SerialWriteResult::Status::kFailed;
        return result;
      }
      // The output queue is full (or stopped by flow control): wait for room.
      const int wait = limit ? MsUntil(end) : -1;
      pollfd p{fd_, POLLOUT, 0};
      const int r = wait == 0 ? 0 : ::poll(&p, 1, wait);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) {  // a failed poll would fail again at once: no retry
        result.status = r == 0 ? SerialWriteResult::Status::kTimeout : SerialWriteResult::Status::kFailed;
        return result;
      }
      if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
        if (p.revents & POLLHUP) gone_ = true;
        result.status = SerialWriteResult::Status::kBadCommand;
        return result;
      }
    }
    return result;
  }

  void DrainOutput(milliseconds limit) override {
    const SteadyTime end = std::chrono::steady_clock::now() + limit;
    const std::uint32_t rate = std::max<std::uint32_t>(ReadBitRate(fd_), 300);
    int queued = 0;
    while (::ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0 && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::min(WireTime(static_cast<std::size_t>(queued), rate), milliseconds(50)));
    // An empty queue is not an empty line: USB adapters keep a FIFO of their
    // own, and the far end reads its receive buffer when it gets to it.
    SteadyTime settled;
    {
      std::lock_guard lock(mutex_);
      settled = lastWrite_ + WireTime(std::min<std::size_t>(lastWriteSize_, kAdapterFifo), rate) + kFarEndLatency;
    }
    std::this_thread::sleep_until(std::min(settled, end));
  }

  unsigned WaitEvent(unsigned mask, Tick ms, const Clock& clock) override {
    unsigned events = PendingEvents(mask);
    if (events != 0) return events;
    const auto real = std::chrono::ceil<milliseconds>(clock.RealDuration(ms)).count();
    epoll_event ready[2];
    const int n = ::epoll_wait(epollFd_, ready, 2, static_cast<int>(std::max<long long>(real, 1)));
    // A wait that fails for good must still take its time: its caller asks again.
    if (n < 0 && errno != EINTR) std::this_thread::sleep_for(milliseconds(std::max<long long>(real, 1)));
    for (int i = 0; i < n; ++i) {
      if (ready[i].data.fd == wakeFd_) {
        std::uint64_t value;
        while (::read(wakeFd_, &value, sizeof value) > 0) {
        }
      }
    }
    return PendingEvents(mask);
  }

  void WakeWaiter() override {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
  }

  LineErrors ClearErrors() override {
    LineErrors errors;
    {
      std::lock_guard lock(mutex_);
      errors = reported_;
      reported_ = {};
    }
    serial_icounter_struct now{};
    if (hasCounters_ && ::ioctl(fd_, TIOCGICOUNT, &now) == 0) {
      errors.frame |= now.frame != counters_.frame;
      errors.overrun |=
          now.overrun != counters_.overrun || now.buf_overrun != counters_.buf_overrun;
      errors.parity |= now.parity != counters_.parity;
      errors.breakDetected |= now.brk != counters_.brk;
      counters_ = now;
    }
    return errors;
  }

  void ClearBreak() override { ::ioctl(fd_, TIOCCBRK); }

  bool Gone() const override { return gone_; }

  void ReportLineErrors(const LineErrors& errors) override {
    {
      std::lock_guard lock(mutex_);
      reported_.frame |= errors.frame;
      reported_.overrun |= errors.overrun;
      reported_.parity |= errors.parity;
      reported_.breakDetected |= errors.breakDetected;
      reportedPending_ = true;
    }
    WakeWaiter();
  }

  std::string LastError() const override {
    std::lock_guard lock(mutex_);
    return lastError_;
  }

 private:
  // Bytes a USB serial adapter may still hold after the kernel's queue emptied,
  // and the time the far end may take to fetch what reached it.
  static constexpr std::size_t kAdapterFifo = 512;
  static constexpr milliseconds kFarEndLatency{100};

  // Ten bits a character covers a start bit, eight data bits and a stop bit.
  static milliseconds WireTime(std::size_t bytes, std::uint32_t rate) {
    return milliseconds(1 + bytes * 10 * 1000 / rate);
  }

  void NoteWritten(std::size_t n) {
    std::lock_guard lock(mutex_);
    lastWrite_ = std::chrono::steady_clock::now();
    lastWriteSize_ = n;
  }

  // One read() call; counts the raw bytes taken so that the reader can tell
  // new arrivals from bytes that are merely still queued.
  long ReadChunk(unsigned char* out, std::size_t room) {
    std::lock_guard lock(countMutex_);
    const ssize_t n = ::read(fd_, out, room);
    if (n > 0) consumed_ += static_cast<std::uint64_t>(n);
    return static_cast<long>(n);
  }

  // Bytes ever received: taken by Read plus still queued.
  std::uint64_t Arrivals() {
    std::lock_guard lock(countMutex_);
    int queued = 0;
    if (::ioctl(fd_, FIONREAD, &queued) != 0) queued = 0;
    return consumed_ + static_cast<std::uint64_t>(std::max(queued, 0));
  }

  std::size_t DropZeros(unsigned char* data, std::size_t n) {
    if (!discardNull_) return n;
    return static_cast<std::size_t>(std::remove(data, data + n, 0) - data);
  }

  // The events of `mask` that have happened since the previous call (reader thread).
  unsigned PendingEvents(unsigned mask) {
    unsigned events = 0;
    const std::uint64_t arrivals = Arrivals();
    if (arrivals > lastArrivals_ && (mask & kSerialEventRxChar)) events |= kSerialEventRxChar;
    lastArrivals_ = arrivals;
    if ((mask & kSerialEventError) && ErrorPending()) events |= kSerialEventError;
    return events;
  }

  bool ErrorPending() {
    {
      std::lock_guard lock(mutex_);
      if (reportedPending_) {
        reportedPending_ = false;
        return true;
      }
    }
    serial_icounter_struct now{};
    if (!hasCounters_ || ::ioctl(fd_, TIOCGICOUNT, &now) != 0) return false;
    return now.frame != counters_.frame || now.overrun != counters_.overrun ||
           now.buf_overrun != counters_.buf_overrun || now.parity != counters_.parity ||
           now.brk != counters_.brk;
  }

  // Modem lines: a pseudo-terminal has none (ENOTTY), which is fine.
  void WriteModemLines(const SerialLineSettings& s) {
    int rts = TIOCM_RTS;
    int dtr = TIOCM_DTR;
    if (s.rtsControl == RtsControl::kEnable) ::ioctl(fd_, TIOCMBIS, &rts);
    if (s.rtsControl == RtsControl::kDisable) ::ioctl(fd_, TIOCMBIC, &rts);
    ::ioctl(fd_, s.dtrControl == DtrControl::kEnable ? TIOCMBIS : TIOCMBIC, &dtr);
    rts_ = s.rtsControl;
    dtr_ = s.dtrControl;
  }

  void ReadModemLines(SerialLineSettings& s) const {
    int lines = 0;
    if (::ioctl(fd_, TIOCMGET, &lines) != 0) {
      if (s.rtsControl != RtsControl::kHandshake) s.rtsControl = rts_;
      s.dtrControl = dtr_;
      return;
    }
    if (s.rtsControl != RtsControl::kHandshake)
      s.rtsControl = (lines & TIOCM_RTS) ? RtsControl::kEnable : RtsControl::kDisable;
    s.dtrControl = (lines & TIOCM_DTR) ? DtrControl::kEnable : DtrControl::kDisable;
  }

  bool Fail(int err) {
    if (DeviceGone(err)) gone_ = true;
    SetLastError(ErrnoText(path_, err));
    return false;
  }

  bool RateFailed(std::uint32_t wanted, std::uint32_t actual) {
    std::string text =
        path_ + ": the device's driver does not support " + std::to_string(wanted) + " bit/s";
    if (actual != 0) text += " (it runs at " + std::to_string(actual) + " bit/s)";
    SetLastError(text);
    return false;
  }

  void SetLastError(const std::string& text) {
    std::lock_guard lock(mutex_);
    lastError_ = text;
  }

  const int fd_;
  const std::string path_;
  std::atomic<bool> gone_{false};
  int wakeFd_ = -1;
  int epollFd_ = -1;
  std::atomic<bool> discardNull_{false};
  RtsControl rts_ = RtsControl::kEnable;  // Linux raises both lines when a port opens
  DtrControl dtr_ = DtrControl::kEnable;

  mutable std::mutex mutex_;  // guards timeouts_, reported_, reportedPending_, lastError_, lastWrite*_
  SerialTimeouts timeouts_;
  LineErrors reported_;
  bool reportedPending_ = false;
  std::string lastError_;
  SteadyTime lastWrite_{};
  std::size_t lastWriteSize_ = 0;

  std::mutex countMutex_;  // guards consumed_ and the read() it counts
  std::uint64_t consumed_ = 0;

  // Reader thread only.
  std::uint64_t lastArrivals_ = 0;
  bool hasCounters_ = false;
  serial_icounter_struct counters_{};
};

}  // namespace

void MakeRaw(termios& t) {
  cfmakeraw(&t);
  t.c_cflag |= CREAD | CLOCAL;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

speed_t StandardSpeed(std::uint32_t rate) {
  for (const SpeedEntry& e : kSpeeds)
    if (e.rate == rate) return e.code;
  return B0;
}

void EncodeLineSettings(const SerialLineSettings& s, termios& t) {
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  switch (s.byteSize) {
    case 5:
      t.c_cflag |= CS5;
      break;
    case 6:
      t.c_cflag |= CS6;
      break;
    case 7:
      t.c_cflag |= CS7;
      break;
    default:
      t.c_cflag |= CS8;
      break;
  }
  switch (s.parity) {
    case 1:
      t.c_cflag |= PARENB | PARODD;
      break;
    case 2:
      t.c_cflag |= PARENB;
      break;
    case 3:
      t.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case 4:
      t.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  if (s.stopBits != 0) t.c_cflag |= CSTOPB;
  if (s.outxCtsFlow || s.rtsControl == RtsControl::kHandshake) t.c_cflag |= CRTSCTS;
  t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
  if (s.outX) t.c_iflag |= IXON;
  if (s.inX) t.c_iflag |= IXOFF;
  if (s.parityCheck) t.c_iflag |= INPCK;
  t.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
  if (const speed_t code = StandardSpeed(s.baudRate); code != B0) cfsetspeed(&t, code);
}

SerialLineSettings DecodeLineSettings(const termios& t, std::uint32_t bitRate) {
  SerialLineSettings s;
  s.baudRate = bitRate;
  switch (t.c_cflag & CSIZE) {
    case CS5:
      s.byteSize = 5;
      break;
    case CS6:
      s.byteSize = 6;
      break;
    case CS7:
      s.byteSize = 7;
      break;
    default:
      s.byteSize = 8;
      break;
  }
  if (t.c_cflag & PARENB) {
    const bool odd = t.c_cflag & PARODD;
    s.parity = (t.c_cflag & CMSPAR) ? (odd ? 3 : 4) : (odd ? 1 : 2);
  }
  s.stopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
  s.outxCtsFlow = t.c_cflag & CRTSCTS;
  if (s.outxCtsFlow) s.rtsControl = RtsControl::kHandshake;
  s.outX = t.c_iflag & IXON;
  s.inX = t.c_iflag & IXOFF;
  s.parityCheck = t.c_iflag & INPCK;
  s.xonChar = static_cast<char>(t.c_cc[VSTART]);
  s.xoffChar = static_cast<char>(t.c_cc[VSTOP]);
  return s;
}

void PosixSerialDriver::RefreshPortMap() {
  std::vector<std::string> list = portList_;
  if (list.empty()) {
    const char* env = std::getenv("UPDATER_PORTS");
    if (env != nullptr) list = ParsePortList(env, map_.Size());
  }
  const Source source = list.empty() ? Source::kDiscovered : Source::kExplicit;
  if (source != source_) map_ = SerialPortMap(map_.Size());
  source_ = source;
  if (source == Source::kExplicit)
    map_.SetExplicit(list);
  else
    map_.Merge(DiscoverSerialDevices());
}

std::string PosixSerialDriver::PortPath(int index) const { return map_.Path(index); }

PortAccess PosixSerialDriver::Probe(const std::string& path) {
  PortAccess access;
  int err = 0;
  const int fd = OpenExclusive(path, access, err);
  if (fd >= 0) ::close(fd);
  return access;
}

std::unique_ptr<SerialPort> PosixSerialDriver::Open(const std::string& path, PortAccess& access,
                                                    std::string& error) {
  int err = 0;
  int fd = OpenExclusive(path, access, err);
  if (fd < 0) {
    error = ErrnoText(path, err);
    return nullptr;
  }
  if (fd < 3) {  // keep handles positive and clear of the standard streams
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    if (moved < 0) {
      error = ErrnoText(path, errno);
      access = PortAccess::kAbsent;
      return nullptr;
    }
    fd = moved;  // the lock belongs to the shared open file, so it stays
  }
  // What waits in the input is from before this open (the end of an earlier
  // run, say, or a boot loader's answers to it): none of it answers us.
  ::tcflush(fd, TCIFLUSH);
  error.clear();
  return std::make_unique<PosixSerialPort>(fd, path);
}

void PosixSerialDriver::SetPortList(const std::vector<std::string>& paths) { portList_ = paths; }

SerialDriver& DefaultSerialDriver() {
  static PosixSerialDriver driver;
  return driver;
}

void SetSerialPortList(std::string_view list) {
  static_cast<PosixSerialDriver&>(DefaultSerialDriver()).SetPortList(ParsePortList(list));
}

}  // namespace platform
