#pragma once
// ComPortLink: the LoaderPort of a real serial port (TComPort). A missing or
// closed port reads as closed and takes no writes. Main thread only; the port
// must outlive the link.
#include <string>
#include <utility>

#include "loaders/loader_context.h"
#include "serial/com_port.h"

namespace loaders {

class ComPortLink final : public LoaderPort {
 public:
  /// `name` is how the user knows the port ("COM3 (/dev/ttyUSB0)").
  ComPortLink(serial::TComPort* port, std::string name) : port_(port), name_(std::move(name)) {}

  int Write(const std::uint8_t* data, int length) override;
  int WriteText(const char* text) override;
  int Read(std::uint8_t* buffer, int size) override;
  void ChangeV24Parameter(serial::BaudTag baud, serial::StopBitTag stopBits, serial::ParitaetTag parity,
                          bool keinNull) override;
  void ChangeHandShake(serial::HandshakeTag handshake) override;
  void SaveLastV24Parameter() override;
  void LoadLastV24Parameter() override;
  /// The code of the open line's rate; the parameter set's code when the port
  /// is closed or runs at a rate without a code (a new set's without a port).
  serial::BaudTag LineBaud() const override;
  std::string Describe() const override { return name_; }

 private:
  bool Usable() const { return port_ != nullptr && port_->IsOpen(); }

  serial::TComPort* port_;
  std::string name_;
};

}  // namespace loaders
