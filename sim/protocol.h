#pragma once
// One protocol that the simulated instrument speaks on its line: the running
// firmware's text commands or a boot loader. Fed one received byte at a time
// on the simulator's thread; answers through the Host it was built with.
#include <cstdint>
#include <optional>

#include "sim/host.h"
#include "sim/line_settings.h"

namespace sim {

class Protocol {
 public:
  virtual ~Protocol() = default;
  /// The line settings at which this protocol listens and answers.
  virtual LineSettings Line() const = 0;
  virtual void Receive(std::uint8_t byte) = 0;
  /// How the other side has set the line, before the bytes of each read.
  virtual void LineSeen(const LineSettings& /*seen*/) {}
  /// True when the protocol holds the sender back by flow control, so that
  /// bytes reach it no faster than the line carries them (when pacing).
  virtual bool FlowControlled() const { return false; }
  /// Does what is due by the clock when nothing arrives (a receiver's time-outs).
  virtual void Poll() {}
  /// When Poll() will next have something to do, if ever.
  virtual std::optional<SimTick> Deadline() const { return std::nullopt; }
};

}  // namespace sim
