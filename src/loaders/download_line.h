#pragma once
// DownloadLine: what the Basic-Loader download does to the port besides
// reading it: its line settings, and the asynchronous write of the serial
// component (a piece is handed to the port's writer thread and the call
// returns at once). The real one is the TComPort on which the instrument was
// found; tests put a scripted one in. Main thread only.
#include <cstdint>

#include "serial/com_port.h"
#include "serial/v24_types.h"

namespace loaders {

class DownloadLine {
 public:
  static constexpr int kBusy =
      serial::TComPort::kWriterBusy;  ///< the previous piece is still on the line
  static constexpr int kWriteError =
      serial::TComPort::kShortWrite;  ///< a write came out short (sticky)
  static constexpr int kClosed = serial::TComPort::kClosed;

  virtual ~DownloadLine() = default;
  virtual void ChangeHandShake(serial::HandshakeTag handshake) = 0;
  virtual void ChangeBaudrate(serial::BaudTag baud) = 0;
  /// Hands `length` bytes to the writer: their count when taken, kBusy,
  /// kWriteError, kClosed, or 0 when the device refused them.
  virtual int WriteAsync(const std::uint8_t* data, int length) = 0;
};

/// The line of a real port; a missing or closed port takes nothing (kClosed).
class ComPortDownloadLine final : public DownloadLine {
 public:
  explicit ComPortDownloadLine(serial::TComPort* port) : port_(port) {}
  void ChangeHandShake(serial::HandshakeTag handshake) override {
    if (Open()) port_->ChangeHandShake(handshake);
  }
  void ChangeBaudrate(serial::BaudTag baud) override {
    if (Open()) port_->ChangeBaudrate(baud);
  }
  int WriteAsync(const std::uint8_t* data, int length) override {
    if (!Open()) return kClosed;
    return port_->Write(reinterpret_cast<const char*>(data), length, true);
  }

 private:
  bool Open() const { return port_ != nullptr && port_->IsOpen(); }

  serial::TComPort* port_;
};

}  // namespace loaders
