#pragma once
// From the parameter record to the port's line settings, and the handshake
// table shared by Open and ChangeHandShake.
#include "platform/serial_driver.h"
#include "serial/v24_types.h"

namespace serial {

/// Line settings for a record: rate, data bits, parity (mark and space
/// included), stop bits from the tables; XON 0x11, XOFF 0x13; zero-byte
/// discarding from KeinNullZeichen; RTS on, DTR off; no parity checking, no
/// input XON/XOFF; then the handshake. Values outside an enumeration (a
/// damaged settings file) fall back to 8 data bits, no parity, one stop bit,
/// 4800 bit/s and no handshake.
platform::SerialLineSettings BuildLineSettings(const V24ParameterTag& record);

/// Applies the handshake table: CTS flow control and RTS control, output
/// XON/XOFF. Turns the earlier flow control off first; DTR and the rest stay.
void ApplyHandshake(platform::SerialLineSettings& settings, HandshakeTag handshake);

/// Rate, stop bits and parity of the tables (each falling back as above).
std::uint32_t LineBaudRate(BaudTag baud);
std::uint8_t LineStopBits(StopBitTag stopBits);
std::uint8_t LineParity(ParitaetTag parity);

/// Whether Write frames data (0x13 before, 0x11 after) with this handshake.
inline bool FramesWrites(HandshakeTag handshake) { return handshake == Vorlo_XonXoff; }

}  // namespace serial
