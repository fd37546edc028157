#pragma once
// What the serial port component (src/serial) needs of the operating system's
// serial driver, as one small interface. The component's own logic (parameter
// record, port lists, notification rule, writer states, framing) lives above
// it and never sees termios; PosixSerialDriver (posix_serial_driver.h) is the
// one real implementation, and tests may wrap it.
//
// Port numbering: the component speaks of port indices 0..255 (COM1..COM256).
// The driver keeps the map from index to device path (PortPath); discovery or
// an explicit list fills it (see posix_serial_driver.h and src/serial/README.md).
#include <array>
#include <cstddef>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/clock.h"

namespace platform {

/// RTS line control (the DCB's fRtsControl).
enum class RtsControl : std::uint8_t { kDisable = 0, kEnable = 1, kHandshake = 2 };
/// DTR line control (the DCB's fDtrControl).
enum class DtrControl : std::uint8_t { kDisable = 0, kEnable = 1 };

/// The line settings of a port, in the terms of the Windows DCB that the
/// component is written against. A snapshot read by GetLineSettings also carries
/// the device's complete native settings (`native`), so that applying the
/// snapshot again gives the port back exactly as it was, including what these
/// fields do not describe (canonical mode, echo, ...). Settings built from
/// scratch (native.valid false) are applied in raw mode.
struct SerialLineSettings {
  std::uint32_t baudRate = 9600;  ///< bit/s
  std::uint8_t byteSize = 8;      ///< data bits: 7 or 8 (5 and 6 accepted)
  std::uint8_t parity = 0;        ///< 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t stopBits = 0;      ///< 0 one, 1 one and a half, 2 two
  bool parityCheck = false;       ///< fParity: check parity of received bytes
  bool outxCtsFlow = false;       ///< fOutxCtsFlow: CTS gates output
  RtsControl rtsControl = RtsControl::kEnable;
  DtrControl dtrControl = DtrControl::kDisable;
  bool outX = false;         ///< fOutX: XON/XOFF flow control of output
  bool inX = false;          ///< fInX: XON/XOFF flow control of input
  bool discardNull = false;  ///< fNull: received zero bytes are dropped
  char xonChar = 0x11;
  char xoffChar = 0x13;

  /// The device's full settings as found (opaque, driver-specific).
  struct Native {
    bool valid = false;
    std::array<std::uint8_t, 96> bytes{};
    friend bool operator==(const Native&, const Native&) = default;
  } native;

  friend bool operator==(const SerialLineSettings&, const SerialLineSettings&) = default;
};

/// Time-outs in the terms of COMMTIMEOUTS, in real milliseconds (they describe
/// the wire and are not shortened by the time scale of clock.h).
/// Read: ends when `size` bytes have arrived; or, once a byte has arrived, when
/// `readInterval` ms pass without a further byte (0: no interval limit); or when
/// readTotalMultiplier * size + readTotalConstant ms have passed in all (both 0:
/// no total limit). Write: ends when all bytes are written or after
/// writeTotalMultiplier * size + writeTotalConstant ms (both 0: no limit).
struct SerialTimeouts {
  std::uint32_t readInterval = 0;
  std::uint32_t readTotalMultiplier = 0;
  std::uint32_t readTotalConstant = 0;
  std::uint32_t writeTotalMultiplier = 0;
  std::uint32_t writeTotalConstant = 0;
  friend bool operator==(const SerialTimeouts&, const SerialTimeouts&) = default;
};

/// Line errors reported by the driver (ClearCommError's CE_ flags).
struct LineErrors {
  bool frame = false;
  bool overrun = false;
  bool parity = false;
  bool breakDetected = false;
  bool Any() const { return frame || overrun || parity || breakDetected; }
  friend bool operator==(const LineErrors&, const LineErrors&) = default;
};

/// Event bits of WaitEvent (the values of EV_RXCHAR and EV_ERR).
enum SerialEvent : unsigned {
  kSerialEventRxChar = 0x0001,  ///< new bytes arrived since the previous wait
  kSerialEventError = 0x0080,   ///< a line error is pending (read it with ClearErrors)
};

/// Result of a write.
struct SerialWriteResult {
  enum class Status {
    kOk,          ///< all bytes written
    kTimeout,     ///< the write time-out ended it: a short write (`written` < size)
    kBadCommand,  ///< the device rejected it (it vanished: EIO, ENXIO, ...); ERROR_BAD_COMMAND
    kFailed,      ///< any other error
  };
  Status status = Status::kOk;
  std::size_t written = 0;
};

/// How a port can be accessed.
enum class PortAccess {
  kFree,          ///< present and could be opened exclusively
  kHeld,          ///< present, held by another program or another open port
  kNoPermission,  ///< present, but the user may not open it (counts as held)
  kAbsent,        ///< no such device
};

/// One open device. Threads: the component's owner thread calls Read, Write and
/// the settings operations; its reader thread calls WaitEvent, ClearErrors and
/// ClearBreak; its writer thread calls Write. Read and Write may run at the same
/// time; WakeWaiter and ReportLineErrors may be called from any thread.
/// Destroying the object closes the device (it does not restore settings).
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  /// A positive number identifying the open device (the file descriptor).
  virtual int Handle() const = 0;
  virtual const std::string& Path() const = 0;

  /// Reads the current settings (with the native snapshot). False on failure.
  virtual bool GetLineSettings(SerialLineSettings& settings) = 0;
  /// Applies settings (a snapshot over its native part, otherwise in raw mode)
  /// and sets the modem lines from rtsControl/dtrControl (ignoring devices that
  /// have none, such as pseudo-terminals). False when the driver did not take
  /// them as asked; LastError() then says what (an unsupported baud rate, say).
  virtual bool SetLineSettings(const SerialLineSettings& settings) = 0;

  virtual SerialTimeouts GetTimeouts() const = 0;
  virtual void SetTimeouts(const SerialTimeouts& timeouts) = 0;

  /// Reads up to `size` bytes within the time-outs (see SerialTimeouts); zero
  /// bytes are dropped when discardNull is in force. Returns the count (0 when
  /// nothing came), or -1 on an error of the device.
  virtual long Read(void* buffer, std::size_t size) = 0;
  /// Bytes received and not read yet (a read of that many returns at once).
  virtual std::size_t Queued() = 0;

  /// Writes within the write time-out. Never discards queued output.
  virtual SerialWriteResult Write(const void* data, std::size_t size) = 0;

  /// Waits, at most `limit` of real time, until what was written has left:
  /// the output queue is empty and the last bytes have had the time to cross
  /// the line and the far end's receive buffer. Settings changed earlier would
  /// reach the wire under bytes still sent at the old ones.
  virtual void DrainOutput(std::chrono::milliseconds limit) = 0;

  /// Waits up to `ms` logical milliseconds (clock `clock`) for the events of
  /// `mask`: a new arrival (edge-like: bytes that arrived after the previous
  /// wait, not bytes still unread; for the first wait, bytes queued at open)
  /// or a pending line error. Returns the events
  /// that happened, 0 on time-out or when woken by WakeWaiter. Never spins while
  /// unread data sits in the queue.
  virtual unsigned WaitEvent(unsigned mask, Tick ms, const Clock& clock) = 0;
  /// Ends a running WaitEvent early (it returns 0), or the next one if none runs.
  virtual void WakeWaiter() = 0;

  /// Reads and clears the pending line errors (ClearCommError).
  virtual LineErrors ClearErrors() = 0;
  /// Ends a break state (ClearCommBreak).
  virtual void ClearBreak() = 0;
  /// Tells the port of line errors that the device cannot count itself (a
  /// pseudo-terminal counts none): the next WaitEvent reports kSerialEventError
  /// and ClearErrors returns them. For tests.
  virtual void ReportLineErrors(const LineErrors& errors) = 0;

  /// Text of the last problem (for messages), empty when none.
  virtual std::string LastError() const = 0;
  /// True once the device has gone away (a USB adapter pulled out, the far
  /// end of a pseudo-terminal closed): an operation failed with EIO, ENXIO,
  /// ENODEV or EPIPE, or the line was hung up. Safe from any thread.
  virtual bool Gone() const = 0;
};

/// The driver: the port map and opening. Main thread only.
class SerialDriver {
 public:
  virtual ~SerialDriver() = default;

  /// Number of port indices the component handles (COM1..COM256).
  static constexpr int kMaxPorts = 256;

  /// Re-reads which devices exist and updates the map from port index to path.
  virtual void RefreshPortMap() = 0;
  /// Device path of port index `index` (0 = COM1); empty when none is mapped.
  virtual std::string PortPath(int index) const = 0;

  /// Opens `path` exclusively and closes it again at once.
  virtual PortAccess Probe(const std::string& path) = 0;

  /// Opens `path` exclusively for reading and writing; what was waiting in its
  /// input is dropped. On failure returns null, with `access` telling why and
  /// `error` a text for the user.
  virtual std::unique_ptr<SerialPort> Open(const std::string& path, PortAccess& access,
                                           std::string& error) = 0;
};

/// The process-wide POSIX driver (termios), honouring UPDATER_PORTS.
SerialDriver& DefaultSerialDriver();

}  // namespace platform
