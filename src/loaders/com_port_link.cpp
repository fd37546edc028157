#include "loaders/com_port_link.h"

#include <algorithm>

#include "serial/read_arrived.h"

namespace loaders {

int ComPortLink::Write(const std::uint8_t* data, int length) {
  if (!Usable()) return kClosed;
  return port_->Write(reinterpret_cast<const char*>(data), length, false);
}

int ComPortLink::WriteText(const char* text) {
  if (!Usable()) return kClosed;
  return port_->Write(text, -1, false);
}

int ComPortLink::Read(std::uint8_t* buffer, int size) {
  if (!Usable()) return kClosed;
  // Only what has arrived is asked for, so that a frame is taken the moment
  // its last byte is in. The component's zero byte behind the data needs one
  // byte more of room.
  constexpr int kChunk = 256;
  char staging[kChunk + 1];
  int total = 0;
  while (total < size) {
    const int n = serial::ReadArrived(*port_, staging, std::min(kChunk, size - total));
    if (n < 0) return total > 0 ? total : n;
    if (n == 0) break;
    std::copy_n(staging, n, buffer + total);
    total += n;
  }
  return total;
}

void ComPortLink::ChangeV24Parameter(serial::BaudTag baud, serial::StopBitTag stopBits, serial::ParitaetTag parity,
                                     bool keinNull) {
  if (port_) port_->ChangeV24Parameter(baud, stopBits, parity, keinNull);
}

void ComPortLink::ChangeHandShake(serial::HandshakeTag handshake) {
  if (port_) port_->ChangeHandShake(handshake);
}

void ComPortLink::SaveLastV24Parameter() {
  if (port_) port_->SaveLastV24Parameter();
}

void ComPortLink::LoadLastV24Parameter() {
  if (port_) port_->LoadLastV24Parameter();
}

serial::BaudTag ComPortLink::LineBaud() const {
  if (!port_) return serial::DefaultV24Parameter().Baudrate;
  if (Usable()) {
    const std::uint32_t rate = port_->LoadV24Parameter().baudRate;
    for (int code = serial::B__1200; code <= serial::B256000; ++code) {
      const auto baud = static_cast<serial::BaudTag>(code);
      if (serial::BaudRateOf(baud) == rate) return baud;
    }
  }
  return port_->GetV24Parameter()->Baudrate;
}

}  // namespace loaders
