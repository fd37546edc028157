#pragma once
// Helpers of the loader tests: TI-TXT texts built from address/byte maps and
// the image flattened back into a map.
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "loaders/ti_txt_image.h"

namespace loaders::test {

using ByteMap = std::map<std::uint32_t, std::uint8_t>;

/// One section of a TI-TXT text: an address line and data lines of `perLine` bytes.
inline std::string Section(std::uint32_t address, const std::vector<std::uint8_t>& bytes, int perLine = 16) {
  char line[16];
  std::snprintf(line, sizeof line, "@%04X\r\n", address);
  std::string text = line;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(line, sizeof line, "%02X", bytes[i]);
    text += line;
    text += (i + 1) % static_cast<std::size_t>(perLine) == 0 || i + 1 == bytes.size() ? "\r\n" : " ";
  }
  return text;
}

/// `count` bytes counting up from `first`.
inline std::vector<std::uint8_t> Bytes(std::size_t count, std::uint8_t first = 1) {
  std::vector<std::uint8_t> v(count);
  for (std::size_t i = 0; i < count; ++i) v[i] = static_cast<std::uint8_t>(first + i);
  return v;
}

/// Every byte of every block at its absolute address (marker blocks hold none).
inline ByteMap Flatten(const TiTxtImage& image) {
  ByteMap map;
  for (const ImageBlock& b : image.blocks) {
    for (std::uint16_t i = 0; i < b.count; ++i) map[b.address + i] = b.data[i];
  }
  return map;
}

inline void Put(ByteMap& map, std::uint32_t address, const std::vector<std::uint8_t>& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) map[address + static_cast<std::uint32_t>(i)] = bytes[i];
}

}  // namespace loaders::test
