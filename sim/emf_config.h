#pragma once
// What makes an instrument an EMF one (the `emf` preset): its firmware is a
// binary image in the memory of a processor whose boot loader takes it by
// XMODEM-CRC. The image at power-on is built from the preset's main firmware
// recipe (its version and code size).
#include <cstdint>
#include <string>

#include "sim/line_settings.h"

namespace sim {

struct EmfConfig {
  /// Answer (reply 251) to "A.2051"; from 1.06 on every single-character
  /// command must be followed by the confirmation line.
  std::string bootLoaderVersion = "1.05";
  /// Where the boot loader listens when it starts by itself (boot key, or no
  /// valid application in its memory).
  LineSettings bootLine{9600, 2, false};
  /// From the firmware's answer to an entry command until the boot loader
  /// listens; what arrives meanwhile is lost.
  std::uint32_t startMs = 1000;
};

}  // namespace sim
