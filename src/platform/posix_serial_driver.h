#pragma once
// The serial driver over termios (Linux).
//
// Opening: O_RDWR | O_NOCTTY | O_NONBLOCK, then flock(LOCK_EX | LOCK_NB) and
// TIOCEXCL. A device that another program (or another open port of this
// process) holds fails the flock, or the open with EBUSY where TIOCEXCL is in
// force; root ignores TIOCEXCL, so the flock is what makes "held" reliable.
// EACCES / EPERM mean the user lacks permission (typically: not in the dialout
// group); it is reported as kNoPermission and counts as held. Anything else is
// an absent device. TIOCEXCL is taken back before the device is closed.
//
// Line settings: see EncodeLineSettings. Rates without a B* constant (128000,
// 256000) go through termios2 (BOTHER); SetLineSettings reads the rate back and
// fails with a text when the device's driver cannot make it.
//
// The driver never discards queued output (no TCOFLUSH: on a pseudo-terminal it
// would throw away bytes the other side has not read yet) and applies settings
// with TCSANOW (TCSADRAIN could wait forever behind a flow-control stop).
#include <termios.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/serial_driver.h"
#include "platform/serial_port_map.h"

namespace platform {

/// Sets the termios fields that `settings` describe, in raw terms:
/// CSIZE from byteSize; PARENB / PARODD / CMSPAR from parity (odd: PARENB |
/// PARODD, even: PARENB, mark: PARENB | CMSPAR | PARODD, space: PARENB |
/// CMSPAR); CSTOPB for one and a half and two stop bits (Linux has no 1.5 for
/// 7 and 8 data bits; two is the nearest that every receiver expecting 1.5
/// accepts); CRTSCTS when outxCtsFlow or rtsControl is kHandshake; IXON from
/// outX, IXOFF from inX, IXANY off; INPCK from parityCheck; VSTART / VSTOP from
/// the XON / XOFF characters; the speed for rates that have a B* constant.
void EncodeLineSettings(const SerialLineSettings& settings, termios& t);

/// Reads those fields back; the rate comes from `bitRate`. Modem-line
/// controls, discardNull and the native snapshot are left at their defaults.
SerialLineSettings DecodeLineSettings(const termios& t, std::uint32_t bitRate);

/// Raw mode: no input or output processing, no echo, no signals, CREAD and
/// CLOCAL on, VMIN 1, VTIME 0.
void MakeRaw(termios& t);

/// The B* constant of a rate, or B0 when the rate has none.
speed_t StandardSpeed(std::uint32_t rate);

class PosixSerialDriver final : public SerialDriver {
 public:
  /// The port map comes from SetPortList, else from UPDATER_PORTS, else from
  /// discovery; it is read again by every RefreshPortMap.
  void RefreshPortMap() override;
  std::string PortPath(int index) const override;
  PortAccess Probe(const std::string& path) override;
  std::unique_ptr<SerialPort> Open(const std::string& path, PortAccess& access,
                                   std::string& error) override;

  /// An explicit list of paths replacing UPDATER_PORTS and discovery (the
  /// console's --ports option); an empty list goes back to them. Takes effect
  /// at the next RefreshPortMap.
  void SetPortList(const std::vector<std::string>& paths);

 private:
  enum class Source { kNone, kExplicit, kDiscovered };
  Source source_ = Source::kNone;
  std::vector<std::string> portList_;
  SerialPortMap map_;
};

/// SetPortList on the process-wide driver, from a colon- or comma-separated text.
void SetSerialPortList(std::string_view list);

}  // namespace platform
