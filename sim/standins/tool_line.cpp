#include "sim/standins/tool_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace standin {
namespace {

constexpr int kWriteStallMs = 2000;

speed_t Speed(std::uint32_t baud) {
  switch (baud) {
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return B0;
  }
}

std::string Trim(std::string text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string ComPortPath(const char* ports, int com) {
  if (ports == nullptr || com < 1) return "";
  const std::string list = ports;
  std::size_t start = 0;
  for (int index = 1;; ++index) {
    const std::size_t end = list.find_first_of(",:", start);
    if (index == com) return Trim(list.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) return "";
    start = end + 1;
  }
}

std::unique_ptr<ToolLine> ToolLine::Open(const std::string& path, std::uint32_t baud,
                                         std::string& error) {
  const speed_t speed = Speed(baud);
  if (speed == B0) {
    error = "unsupported baud rate " + std::to_string(baud);
    return nullptr;
  }
  // Non-blocking: the line settings (VMIN) belong to the device and may be
  // anything another program left there; waits are done with poll().
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = path + ": " + std::strerror(errno);
    return nullptr;
  }
  std::unique_ptr<ToolLine> line(new ToolLine(fd));
  termios settings{};
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::tcgetattr(fd, &settings) != 0) {
    error =
        path + ": " +
        (errno == EWOULDBLOCK ? std::string("in use by another program") : std::strerror(errno));
    return nullptr;
  }
  ::cfmakeraw(&settings);
  settings.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  ::cfsetispeed(&settings, speed);
  ::cfsetospeed(&settings, speed);
  if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
    error = path + ": " + std::strerror(errno);
    return nullptr;
  }
  line->DropInput();
  return line;
}

ToolLine::~ToolLine() {
  ::tcdrain(fd_);
  ::close(fd_);
}

bool ToolLine::Write(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd fd{fd_, POLLOUT, 0};
      if (::poll(&fd, 1, kWriteStallMs) <= 0) return false;  // the line takes nothing
      continue;
    }
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return ::tcdrain(fd_) == 0;
}

std::optional<std::uint8_t> ToolLine::Read(int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    std::uint8_t byte = 0;
    const ssize_t n = ::read(fd_, &byte, 1);
    if (n == 1) return byte;
    if (n < 0 && errno != EINTR && errno != EAGAIN) return std::nullopt;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd fd{fd_, POLLIN, 0};
    const int ready = ::poll(&fd, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) return std::nullopt;  // it would fail again at once
    if (ready > 0 && (fd.revents & POLLIN) == 0) return std::nullopt;  // hung up
  }
}

void ToolLine::DropInput() { ::tcflush(fd_, TCIFLUSH); }

}  // namespace standin
