#pragma once
// The serial component's enumerations, the 40-byte parameter record and the
// window messages of the reader thread.
//
// Port numbering: a port *index* is 0-based (0 = COM1, 255 = COM256); a port
// *number* is the index plus 1 and is what the user sees ("COM%u") and what the
// window messages carry as their parameter.
#include <cstddef>
#include <cstdint>

#include "core/fixed_text.h"

namespace serial {

enum DatBitTag : std::int32_t { D_7 = 0, D_8 = 1 };
enum ParitaetTag : std::int32_t { NoParity = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum StopBitTag : std::int32_t { S_1 = 0, S1_5 = 1, S_2 = 2 };
// B115200 is also a macro of <termios.h>; the enumeration is declared with the
// macro set aside. In a file that includes <termios.h> the name means the
// termios constant again: write kBaud115200 there.
#pragma push_macro("B115200")
#undef B115200
enum BaudTag : std::int32_t {
  B__1200 = 0,
  B__2400 = 1,
  B__4800 = 2,
  B__9600 = 3,
  B_19200 = 4,
  B_38400 = 5,
  B_57600 = 6,
  B115200 = 7,
  B128000 = 8,
  B256000 = 9,
};
#pragma pop_macro("B115200")
constexpr BaudTag kBaud115200 = static_cast<BaudTag>(7);
enum HandshakeTag : std::int32_t { NoHandshake = 0, RTS_CTS = 1, XonXoff = 2, Vorlo_XonXoff = 3 };
/// Port index 0..255. Only the ends are named; any value in between is valid
/// (ComTag(i) for COM i+1).
enum ComTag : std::int32_t { Com__1 = 0, Com256 = 255 };

constexpr int kPortCount = 256;  ///< ports 1..256 (indices 0..255)

/// Bit rate of a BaudTag (1200 ... 256000); 0 for a value outside the enumeration.
std::uint32_t BaudRateOf(BaudTag tag);

/// The parameter record: exactly the 40-byte little-endian layout of the
/// settings file. Enumerations are 32-bit ordinals, bools one byte.
/// Value-initialised (`V24ParameterTag{}`) it is all zero, padding included;
/// the defaults of a new parameter set are DefaultV24Parameter().
struct V24ParameterTag {
  DatBitTag DatenBits;           // offset 0
  ParitaetTag Paritaet;          // offset 4
  StopBitTag StopBits;           // offset 8
  BaudTag Baudrate;              // offset 12
  HandshakeTag Handshake;        // offset 16
  std::int32_t RXTimeOut;        // offset 20: ms, constant part of the read time-out
  std::int32_t TXTimeOut;        // offset 24: ms, constant part of the write time-out
  ComTag Schnittstelle;          // offset 28: port index
  bool KeinNullZeichen;          // offset 32: received zero bytes are discarded
  bool KeinString;               // offset 33: Read appends no zero terminator
  std::uint8_t Padding[2];       // offset 34: zero in a fresh record
  std::uint32_t RXNotification;  // offset 36: ms pause of the reader after each notification

  friend bool operator==(const V24ParameterTag&, const V24ParameterTag&) = default;
};

static_assert(sizeof(bool) == 1, "the record stores bools as one byte");
static_assert(sizeof(V24ParameterTag) == 40, "V24ParameterTag is the 40-byte file record");
static_assert(offsetof(V24ParameterTag, DatenBits) == 0);
static_assert(offsetof(V24ParameterTag, Paritaet) == 4);
static_assert(offsetof(V24ParameterTag, StopBits) == 8);
static_assert(offsetof(V24ParameterTag, Baudrate) == 12);
static_assert(offsetof(V24ParameterTag, Handshake) == 16);
static_assert(offsetof(V24ParameterTag, RXTimeOut) == 20);
static_assert(offsetof(V24ParameterTag, TXTimeOut) == 24);
static_assert(offsetof(V24ParameterTag, Schnittstelle) == 28);
static_assert(offsetof(V24ParameterTag, KeinNullZeichen) == 32);
static_assert(offsetof(V24ParameterTag, KeinString) == 33);
static_assert(offsetof(V24ParameterTag, Padding) == 34);
static_assert(offsetof(V24ParameterTag, RXNotification) == 36);

/// A new parameter set: all zero except DatenBits D_8, Baudrate B__4800,
/// TXTimeOut 1000.
V24ParameterTag DefaultV24Parameter();

/// The record as its 40 file bytes (little-endian on any host) and back.
void V24ToBytes(const V24ParameterTag& record, std::uint8_t (&bytes)[40]);
V24ParameterTag V24FromBytes(const std::uint8_t (&bytes)[40]);

/// Window messages posted by the reader thread to the owner's message loop
/// (platform::MessageLoop::Post); the message's param is the port number.
constexpr std::uint32_t WM_V24_RXDATA = 0x87D0;  // 34768: data arrived
constexpr std::uint32_t WM_V24_LINEERROR =
    0x87E4;  // 34788: framing error, or an error event without flag
constexpr std::uint32_t WM_V24_OVERRUN = 0x87EE;  // 34798: overrun
constexpr std::uint32_t WM_V24_PARITY = 0x87F8;   // 34808: receive parity error

/// "COM%u" of port index `index` (index + 1).
core::FixedText<16> ComName(int index);

}  // namespace serial
