#pragma once
// The simulator's end of the line: the master side of a pseudo-terminal.
//
// Facts of Linux ptys this class lives with: reading the master fails with EIO
// while no slave descriptor is open, so the class keeps one open itself for
// its whole life; the slave's termios (baud rate, stop bits) can be read on
// the master; a pty forces 8 data bits and no parity, so parity cannot be
// seen. The slave starts in raw mode so that nothing is echoed or translated
// before the updater sets its own line settings.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "sim/line_settings.h"

namespace sim {

class PtyTransport {
 public:
  PtyTransport() = default;
  ~PtyTransport();
  PtyTransport(const PtyTransport&) = delete;
  PtyTransport& operator=(const PtyTransport&) = delete;

  /// Opens the pair (a new one, with a new slave path, when one was open).
  /// Returns an empty text on success, else the reason.
  std::string Open();
  /// Closes both ends: the other side's descriptor is hung up, as when a USB
  /// adapter is pulled out.
  void Close();
  bool IsOpen() const { return master_ >= 0; }
  /// Points the symbolic link `path` at the slave, replacing a link (never a
  /// file) left there before. False with errno set when that fails.
  bool Link(const std::string& path) const;
  /// Removes the symbolic link `path` (never a file), as the system removes a
  /// pulled adapter's name: left behind, it would point at whatever pair gets
  /// the slave's number next.
  static void Unlink(const std::string& path);

  const std::string& SlavePath() const { return slavePath_; }
  int MasterFd() const { return master_; }

  /// How the other side has set the line now.
  LineSettings Seen() const;

  /// Reads what has arrived (non-blocking): the count, 0 when nothing is
  /// there, -1 on an error other than "try again".
  long Read(std::span<std::uint8_t> buffer) const;
  /// Writes as much as the pty takes now (non-blocking): the count, or -1.
  long Write(std::span<const std::uint8_t> bytes) const;

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

}  // namespace sim
