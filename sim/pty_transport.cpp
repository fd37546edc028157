#include "sim/pty_transport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace sim {
namespace {

constexpr std::array<std::pair<speed_t, std::uint32_t>, 12> kSpeeds{{
    {B1200, 1200}, {B2400, 2400}, {B4800, 4800}, {B9600, 9600}, {B19200, 19200}, {B38400, 38400},
    {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B300, 300}, {B600, 600}, {B0, 0},
}};

std::uint32_t BitsPerSecond(speed_t speed) {
  for (const auto& [code, rate] : kSpeeds) {
    if (code == speed) return rate;
  }
  return 0;
}

std::string Errno(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

PtyTransport::~PtyTransport() { Close(); }

void PtyTransport::Close() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
  slave_ = -1;
  master_ = -1;
}

namespace {

bool IsLink(const std::string& path) {
  struct stat existing {};
  return ::lstat(path.c_str(), &existing) == 0 && S_ISLNK(existing.st_mode);
}

}  // namespace

bool PtyTransport::Link(const std::string& path) const {
  if (IsLink(path)) {
    ::unlink(path.c_str());
  } else if (::access(path.c_str(), F_OK) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::symlink(slavePath_.c_str(), path.c_str()) == 0;
}

void PtyTransport::Unlink(const std::string& path) {
  if (IsLink(path)) ::unlink(path.c_str());
}

std::string PtyTransport::Open() {
  Close();
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return Errno("posix_openpt");
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return Errno("grantpt/unlockpt");
  char name[128];
  if (::ptsname_r(master_, name, sizeof name) != 0) return Errno("ptsname");
  slavePath_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) return Errno("open slave");
  termios settings{};
  if (::tcgetattr(slave_, &settings) != 0) return Errno("tcgetattr");
  ::cfmakeraw(&settings);
  ::cfsetispeed(&settings, B9600);
  ::cfsetospeed(&settings, B9600);
  if (::tcsetattr(slave_, TCSANOW, &settings) != 0) return Errno("tcsetattr");
  const int flags = ::fcntl(master_, F_GETFL);
  if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) return Errno("fcntl");
  return {};
}

LineSettings PtyTransport::Seen() const {
  termios settings{};
  LineSettings seen;
  if (::tcgetattr(master_, &settings) != 0) return seen;
  seen.baud = BitsPerSecond(::cfgetospeed(&settings));
  seen.stopBits = (settings.c_cflag & CSTOPB) ? 2 : 1;
  seen.evenParity = (settings.c_cflag & PARENB) && !(settings.c_cflag & PARODD);
  seen.rtsCts = (settings.c_cflag & CRTSCTS) != 0;
  return seen;
}

long PtyTransport::Read(std::span<std::uint8_t> buffer) const {
  for (;;) {
    const ssize_t n = ::read(master_, buffer.data(), buffer.size());
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
  }
}

long PtyTransport::Write(std::span<const std::uint8_t> bytes) const {
  for (;;) {
    const ssize_t n = ::write(master_, bytes.data(), bytes.size());
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
  }
}

}  // namespace sim
