#include "loaders/bsl_frames.h"

#include <algorithm>

namespace loaders {

namespace classic {

std::uint16_t Checksum(std::span<const std::uint8_t> bytes) {
  std::uint16_t x = 0;
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    const std::uint16_t high = i + 1 < bytes.size() ? bytes[i + 1] : 0;
    x ^= static_cast<std::uint16_t>(bytes[i] | (high << 8));
  }
  return static_cast<std::uint16_t>(x ^ 0xFFFF);
}

std::size_t BuildFrame(std::uint8_t command, std::span<const std::uint8_t> payload, std::uint8_t* out) {
  const std::size_t l1 = std::min<std::size_t>(payload.size(), 255);
  out[0] = kHeader;
  out[1] = command;
  out[2] = static_cast<std::uint8_t>(l1);
  out[3] = static_cast<std::uint8_t>(l1);
  std::copy_n(payload.begin(), l1, out + 4);
  const std::uint16_t ck = Checksum({out, l1 + 4});
  out[l1 + 4] = static_cast<std::uint8_t>(ck & 0xFF);
  out[l1 + 5] = static_cast<std::uint8_t>(ck >> 8);
  return l1 + 6;
}

bool ChecksumMatches(std::span<const std::uint8_t> frame) {
  if (frame.size() < 6) return false;
  const std::size_t l1 = frame[2];
  if (frame.size() < l1 + 6) return false;
  const std::uint16_t ck = Checksum(frame.first(l1 + 4));
  return frame[l1 + 4] == (ck & 0xFF) && frame[l1 + 5] == (ck >> 8);
}

}  // namespace classic

namespace bsl5xx {

std::uint16_t Crc16Ccitt(std::span<const std::uint8_t> bytes) {
  std::uint16_t crc = 0xFFFF;
  for (std::uint8_t b : bytes) {
    crc ^= static_cast<std::uint16_t>(b << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  return crc;
}

std::size_t BuildFrame(std::span<const std::uint8_t> core, std::uint8_t* out) {
  const std::size_t nl = std::min<std::size_t>(core.size(), kMaxFrame - 5);
  out[0] = kHeader;
  out[1] = static_cast<std::uint8_t>(nl & 0xFF);
  out[2] = static_cast<std::uint8_t>(nl >> 8);
  std::copy_n(core.begin(), nl, out + 3);
  const std::uint16_t crc = Crc16Ccitt(core.first(nl));
  out[nl + 3] = static_cast<std::uint8_t>(crc & 0xFF);
  out[nl + 4] = static_cast<std::uint8_t>(crc >> 8);
  return nl + 5;
}

std::size_t BuildCore(std::uint8_t command, std::uint32_t address, std::span<const std::uint8_t> data,
                      std::uint8_t* out) {
  std::size_t n = 0;
  out[n++] = command;
  if ((address & 0xFFFFFF) != 0) {
    out[n++] = static_cast<std::uint8_t>(address & 0xFF);
    out[n++] = static_cast<std::uint8_t>((address >> 8) & 0xFF);
    out[n++] = static_cast<std::uint8_t>((address >> 16) & 0xFF);
  }
  std::copy(data.begin(), data.end(), out + n);
  return n + data.size();
}

bool CrcMatches(std::span<const std::uint8_t> frame) {
  if (frame.size() < 5) return false;
  const std::size_t nl = frame[1];
  if (frame.size() < nl + 5) return false;
  const std::uint16_t crc = Crc16Ccitt(frame.subspan(3, nl));
  return frame[nl + 3] == (crc & 0xFF) && frame[nl + 4] == (crc >> 8);
}

}  // namespace bsl5xx

}  // namespace loaders
