#pragma once
// The simulated instrument: its processors' memories, the protocol that has
// the line (running firmware or a boot loader), the faults to inject, the
// state that the dump reports, and the queue of bytes waiting to leave.
//
// Single-threaded: the server (or a test) feeds received bytes, polls the
// timers and takes the output, all from one thread. Time comes from the
// injected clock (logical milliseconds).
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/clock.h"
#include "sim/emf_memory.h"
#include "sim/faults.h"
#include "sim/flash_model.h"
#include "sim/host.h"
#include "sim/instrument_config.h"
#include "sim/protocol.h"
#include "sim/terminal_flash.h"

namespace sim {

/// Bytes that leave at `line` once the clock reaches `due`.
struct OutputChunk {
  std::vector<std::uint8_t> bytes;
  LineSettings line;
  SimTick due = 0;
};

class Instrument final : private Host {
 public:
  /// `clock` must outlive the object.
  Instrument(InstrumentConfig config, FaultPlan faults, const platform::Clock& clock);
  ~Instrument() override;

  /// Bytes from the line; `seen` is how the other side has set the line. At a
  /// rate the active protocol does not expect, the bytes are not understood
  /// and the instrument answers with line noise.
  void Receive(std::span<const std::uint8_t> bytes, const LineSettings& seen);

  /// Runs what is due (the firmware coming up after a load PC).
  void Poll();
  /// Logical tick of the next thing that Poll() will do, if any.
  std::optional<SimTick> Deadline() const;

  /// The user switches the instrument off and on again: what was on its way
  /// out is lost, RAM and the boot loaders' state are gone. With the boot key
  /// held the boot loader starts afresh; otherwise the processor starts as at
  /// power-on (its firmware, or its boot loader when the flash holds none).
  void PowerCycle(bool bootKeyHeld);

  /// True once after the port was pulled out (an unplug fault).
  bool TakeUnplugged() { return faults_.TakeUnplug(); }
  /// The faults end (the cable is back): no planned fault fires any more.
  void ClearFaults() { faults_.Clear(); }

  /// Output waiting to leave, oldest first; the caller pops what it has sent.
  std::deque<OutputChunk>& Output() { return output_; }

  const SimState& Status() const { return state_; }
  const FlashModel& Memory(int component) const;
  bool HasSensor() const { return sensor_ != nullptr; }
  /// The EMF processor's memory (emf preset), else null.
  const EmfMemory* Emf() const { return emf_.get(); }
  /// The terminal's flash, when the instrument has a terminal; else null.
  const TerminalFlash* Terminal() const { return terminal_.get(); }
  /// The settings the active protocol listens at (the firmware's while it boots).
  LineSettings Line() const;
  /// True when the active protocol understands bytes sent at `seen`.
  bool Understands(const LineSettings& seen) const { return protocol_ && protocol_->Line().Understands(seen); }
  /// True when the active protocol takes bytes at the line's rate only.
  bool FlowControlled() const { return protocol_ && protocol_->FlowControlled(); }

  /// True (once) when the state or the flash changed since the last call.
  bool TakeStateChanged();
  bool TakeFlashChanged();

 private:
  // Host
  void Send(std::span<const std::uint8_t> bytes, SimTick delayMs) override;
  void FlashBusy(std::uint64_t micros) override;
  FaultKind Fault(std::string_view target) override;
  SimState& State() override { return state_; }
  void Changed() override { stateChanged_ = true; }
  void EnterBootLoader(int component) override;
  void LoadPc(int component, std::uint32_t address) override;
  void EnterEmfBootLoader(int component, std::uint32_t baud) override;
  void StartEmfApplication() override;

  Host& AsHost() { return *this; }

  enum class Switch : std::uint8_t { kNone, kBootLoader, kLeaveBootLoader, kEmfBootLoader, kEmfApplication };

  void PowerOn(bool bootKeyHeld);
  std::unique_ptr<Protocol> MakeFirmware();
  void ApplySwitch();
  void StartBootLoader(int component);
  void StartBasicLoader();
  void StartFirmware();
  FlashModel& MemoryOf(int component);
  std::uint32_t VersionAddressOf(int component) const;
  void RefreshVersions();
  bool MainFirmwareRuns() const;
  void ApplyEmfSwitch(Switch what);
  void StartEmfBootLoader(int component, LineSettings line, SimTick startMs);

  InstrumentConfig config_;
  FaultPlan faults_;
  const platform::Clock& clock_;
  std::unique_ptr<FlashModel> main_;
  std::unique_ptr<FlashModel> sensor_;
  std::unique_ptr<EmfMemory> emf_;
  std::unique_ptr<TerminalFlash> terminal_;
  std::unique_ptr<Protocol> protocol_;
  SimState state_;
  std::deque<OutputChunk> output_;
  SimTick lastDue_ = 0;
  Switch pending_ = Switch::kNone;
  int pendingComponent_ = 0;
  std::uint32_t pendingAddress_ = 0;
  std::uint32_t pendingBaud_ = 0;  // rate of the EMF boot loader being entered
  std::optional<SimTick> bootAt_;  // the firmware comes up then
  std::uint64_t flashWork_ = 0;    // erases + programs at the last TakeFlashChanged
  bool stateChanged_ = true;
};

}  // namespace sim
