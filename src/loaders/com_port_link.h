#pragma once
// ComPortLink: the LoaderPort of a real serial port (TComPort). A missing or
// closed port reads as closed and takes no writes. Main thread only; the port
// must outlive the link.
#include "loaders/loader_context.h"
#include "serial/com_port.h"

namespace loaders {

class ComPortLink final : public LoaderPort {
 public:
  explicit ComPortLink(serial::TComPort* port) : port_(port) {}

  int Write(const std::uint8_t* data, int length) override;
  int WriteText(const char* text) override;
  int Read(std::uint8_t* buffer, int size) override;
  void ChangeV24Parameter(serial::BaudTag baud, serial::StopBitTag stopBits, serial::ParitaetTag parity,
                          bool keinNull) override;
  void ChangeHandShake(serial::HandshakeTag handshake) override;
  void SaveLastV24Parameter() override;
  void LoadLastV24Parameter() override;

 private:
  bool Usable() const { return port_ != nullptr && port_->IsOpen(); }

  serial::TComPort* port_;
};

}  // namespace loaders
