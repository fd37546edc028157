#pragma once
// PortTrace: an observer of what a TComPort does on the line, for a run log.
// Every call comes from the port's owner (main) thread: writes are seen when
// they are handed to the port (before framing), reads when they have
// returned bytes, line settings as they were applied (what the component
// asked for: a pseudo-terminal, for one, does not keep the parity; also when
// they did not change). `port` is how the user knows the
// port: "COM3 (/dev/ttyUSB0)".
#include <string_view>

#include "platform/serial_driver.h"

namespace serial {

class PortTrace {
 public:
  virtual ~PortTrace() = default;
  virtual void Sent(std::string_view port, std::string_view bytes) = 0;
  virtual void Received(std::string_view port, std::string_view bytes) = 0;
  virtual void LineSet(std::string_view port, const platform::SerialLineSettings& settings) = 0;
};

}  // namespace serial
