#include "platform/posix_serial_speed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace platform {

std::uint32_t ReadBitRate(int fd) {
  termios2 t{};
  if (::ioctl(fd, TCGETS2, &t) != 0) return 0;
  return t.c_ospeed;
}

bool WriteBitRate(int fd, std::uint32_t rate) {
  termios2 t{};
  if (::ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ospeed = rate;
  t.c_ispeed = rate;
  return ::ioctl(fd, TCSETS2, &t) == 0;
}

}  // namespace platform
