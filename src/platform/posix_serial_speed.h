#pragma once
// Bit rates through the kernel's termios2 interface (TCGETS2 / TCSETS2), which
// takes any rate the device's driver can make, not only the B* constants.
// Kept in its own file because <asm/termbits.h> and <termios.h> cannot be
// included together.
#include <cstdint>

namespace platform {

/// The device's current output bit rate; 0 when it cannot be read.
std::uint32_t ReadBitRate(int fd);

/// Sets input and output to `rate` bit/s (BOTHER). False when the ioctl fails.
bool WriteBitRate(int fd, std::uint32_t rate);

}  // namespace platform
