#pragma once
// What makes a simulated instrument a WinCE instrument that takes files over
// its command line (see wince_firmware.h).
#include <string>
#include <vector>

#include "sim/host.h"

namespace sim {

struct WinceConfig {
  /// 0: "A.1300#<rate>" is acknowledged at the old rate and the instrument
  /// then listens at the new one. Above 0: the instrument switches at once and
  /// acknowledges at the new rate this many milliseconds later.
  SimTick rateAckMs = 0;
  /// Text of reply 261 when the instrument gives a file up (never "2", which
  /// asks for the last block again).
  std::string rejectText = "1";
  /// Files the instrument already holds (names compared without letter case):
  /// it answers their header with reply 260, "ready for the next file",
  /// instead of taking them.
  std::vector<std::string> heldFiles;
};

}  // namespace sim
