#include "serial/line_settings.h"

namespace serial {

using platform::DtrControl;
using platform::RtsControl;
using platform::SerialLineSettings;

std::uint32_t LineBaudRate(BaudTag baud) {
  const std::uint32_t rate = BaudRateOf(baud);
  return rate != 0 ? rate : BaudRateOf(B__4800);
}

std::uint8_t LineStopBits(StopBitTag stopBits) {
  return (stopBits >= S_1 && stopBits <= S_2) ? static_cast<std::uint8_t>(stopBits) : 0;
}

std::uint8_t LineParity(ParitaetTag parity) {
  // The record's ordinals are the line's parity codes: 0 none, 1 odd, 2 even, 3 mark, 4 space.
  return (parity >= NoParity && parity <= Space) ? static_cast<std::uint8_t>(parity) : 0;
}

void ApplyHandshake(SerialLineSettings& s, HandshakeTag handshake) {
  s.outX = false;
  s.outxCtsFlow = false;
  s.rtsControl = RtsControl::kEnable;
  switch (handshake) {
    case RTS_CTS:
      s.outxCtsFlow = true;
      s.rtsControl = RtsControl::kHandshake;
      break;
    case XonXoff:
    case Vorlo_XonXoff:
      s.outX = true;
      break;
    default:
      break;
  }
}

SerialLineSettings BuildLineSettings(const V24ParameterTag& r) {
  SerialLineSettings s;
  s.baudRate = LineBaudRate(r.Baudrate);
  s.byteSize = r.DatenBits == D_7 ? 7 : 8;
  s.parity = LineParity(r.Paritaet);
  s.stopBits = LineStopBits(r.StopBits);
  s.xonChar = 0x11;
  s.xoffChar = 0x13;
  s.discardNull = r.KeinNullZeichen;
  s.rtsControl = RtsControl::kEnable;
  s.dtrControl = DtrControl::kDisable;
  s.parityCheck = false;
  s.inX = false;
  ApplyHandshake(s, r.Handshake);
  return s;
}

}  // namespace serial
