#pragma once
// What a protocol handler may ask of the instrument around it. The handlers
// (running firmware, classic and 5xx boot loaders) are fed one received byte
// at a time on the simulator's single thread; everything they send goes
// through this interface, which queues it on the line.
#include <cstdint>
#include <span>
#include <string_view>

#include "sim/faults.h"
#include "sim/sim_state.h"

namespace sim {

using SimTick = std::uint32_t;  ///< logical milliseconds (honouring the time scale)

class Host {
 public:
  virtual ~Host() = default;

  /// Queues bytes at the current protocol's line settings, `delayMs` logical
  /// milliseconds after whatever was queued before.
  virtual void Send(std::span<const std::uint8_t> bytes, SimTick delayMs = 0) = 0;
  void SendText(std::string_view text, SimTick delayMs = 0) {
    Send({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, delayMs);
  }
  /// The flash is busy for `micros` microseconds from now (or from the end
  /// of what was queued before): whatever is sent next leaves no earlier.
  virtual void FlashBusy(std::uint64_t micros) = 0;

  /// Counts an occurrence of `target` and returns the fault planned for it.
  virtual FaultKind Fault(std::string_view target) = 0;

  virtual SimState& State() = 0;
  /// Marks the dump as out of date (state or flash changed).
  virtual void Changed() = 0;

  /// The running firmware hands the line to the boot loader of `component`
  /// (0 the instrument's processor, 1 the sensor, 2 the terminal's
  /// Basic-Loader) once its reply has left.
  virtual void EnterBootLoader(int component) = 0;
  /// A boot loader's load-PC command was acknowledged: the processor of
  /// `component` continues at `address`.
  virtual void LoadPc(int component, std::uint32_t address) = 0;

  /// The running firmware hands the line to the EMF boot loader of
  /// `component` at `baud` bit/s (two stop bits) once its reply has left.
  virtual void EnterEmfBootLoader(int component, std::uint32_t baud) = 0;
  /// The EMF boot loader starts the application in its memory; when that
  /// holds none it can run, the boot loader comes back up.
  virtual void StartEmfApplication() = 0;
};

}  // namespace sim
