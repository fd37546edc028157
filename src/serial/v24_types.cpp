#include "serial/v24_types.h"

#include <cstring>

namespace serial {

namespace {

constexpr std::uint32_t kBaudRates[] = {1200,  2400,  4800,   9600,   19200,
                                        38400, 57600, 115200, 128000, 256000};

void PutLe32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetLe32(const std::uint8_t* at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= std::uint32_t{at[i]} << (8 * i);
  return value;
}

std::int32_t GetLeInt(const std::uint8_t* at) { return static_cast<std::int32_t>(GetLe32(at)); }

}  // namespace

std::uint32_t BaudRateOf(BaudTag tag) {
  if (tag < B__1200 || tag > B256000) return 0;
  return kBaudRates[tag];
}

V24ParameterTag DefaultV24Parameter() {
  V24ParameterTag record{};
  record.DatenBits = D_8;
  record.Baudrate = B__4800;
  record.TXTimeOut = 1000;
  return record;
}

void V24ToBytes(const V24ParameterTag& r, std::uint8_t (&bytes)[40]) {
  std::memset(bytes, 0, sizeof bytes);
  const std::int32_t words[8] = {r.DatenBits, r.Paritaet,  r.StopBits,  r.Baudrate,
                                 r.Handshake, r.RXTimeOut, r.TXTimeOut, r.Schnittstelle};
  for (int i = 0; i < 8; ++i) PutLe32(bytes + 4 * i, static_cast<std::uint32_t>(words[i]));
  bytes[32] = r.KeinNullZeichen ? 1 : 0;
  bytes[33] = r.KeinString ? 1 : 0;
  bytes[34] = r.Padding[0];
  bytes[35] = r.Padding[1];
  PutLe32(bytes + 36, r.RXNotification);
}

V24ParameterTag V24FromBytes(const std::uint8_t (&bytes)[40]) {
  V24ParameterTag r{};
  r.DatenBits = static_cast<DatBitTag>(GetLeInt(bytes + 0));
  r.Paritaet = static_cast<ParitaetTag>(GetLeInt(bytes + 4));
  r.StopBits = static_cast<StopBitTag>(GetLeInt(bytes + 8));
  r.Baudrate = static_cast<BaudTag>(GetLeInt(bytes + 12));
  r.Handshake = static_cast<HandshakeTag>(GetLeInt(bytes + 16));
  r.RXTimeOut = GetLeInt(bytes + 20);
  r.TXTimeOut = GetLeInt(bytes + 24);
  r.Schnittstelle = static_cast<ComTag>(GetLeInt(bytes + 28));
  // A file may hold any byte here; a bool takes only 0 or 1.
  r.KeinNullZeichen = bytes[32] != 0;
  r.KeinString = bytes[33] != 0;
  r.Padding[0] = bytes[34];
  r.Padding[1] = bytes[35];
  r.RXNotification = GetLe32(bytes + 36);
  return r;
}

core::FixedText<16> ComName(int index) {
  core::FixedText<16> name;
  name.Format("COM%u", static_cast<unsigned>(index) + 1u);
  return name;
}

}  // namespace serial
