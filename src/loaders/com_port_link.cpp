#include "loaders/com_port_link.h"

#include <algorithm>

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
  // The component waits out its time-outs when fewer bytes are there than
  // asked for, so only what has arrived is asked for: a frame is taken the
  // moment its last byte is in. Its zero byte behind the data needs one byte
  // more of room.
  constexpr int kChunk = 256;
  char staging[kChunk + 1];
  // A read of nothing first tells the component that the owner has looked,
  // so that the next arrival is announced. Bytes it noted before that while
  // its notification was still outstanding count as announced: they are
  // queued by now and taken below, whenever they came, or nothing would ever
  // announce them again.
  if (port_->Read(staging, 0) < 0) return kClosed;
  int total = 0;
  for (int ready = std::min(size, port_->Queued()); ready > 0; ready = std::min(size - total, port_->Queued())) {
    const int want = std::min(kChunk, ready);
    const int n = port_->Read(staging, static_cast<unsigned long>(want));
    if (n < 0) return total > 0 ? total : n;
    std::copy_n(staging, n, buffer + total);
    total += n;
    if (n < want) break;
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
