#pragma once
// The updater's side of an EMF transfer, written for the tests from the wire
// format: the padded image with its trailer, and its XMODEM-CRC blocks.
#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/xmodem_crc.h"
#include "sim/xmodem_receiver.h"

namespace sim::test {

inline constexpr std::size_t kXmodemData = 128;

/// The file, 0xFF up to 6 bytes before the next multiple of 128 (a whole block
/// of it when file and trailer fill their blocks exactly), then the trailer:
/// the length of file and padding (4 bytes) and their CRC-16/XMODEM (2 bytes),
/// both little-endian.
inline std::vector<std::uint8_t> PaddedEmfImage(std::vector<std::uint8_t> file) {
  const std::size_t padding = kXmodemData - (file.size() + 6) % kXmodemData;
  file.insert(file.end(), padding, 0xFF);
  const auto length = static_cast<std::uint32_t>(file.size());
  const std::uint16_t crc = Crc16Xmodem(file);
  for (int i = 0; i < 4; ++i) file.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
  file.push_back(static_cast<std::uint8_t>(crc));
  file.push_back(static_cast<std::uint8_t>(crc >> 8));
  return file;
}

/// One 133-byte frame per 128 bytes of `image`: SOH, number (1 first, modulo
/// 256), 255 minus the number, the data, its CRC high byte first.
inline std::vector<std::vector<std::uint8_t>> XmodemBlocks(const std::vector<std::uint8_t>& image) {
  std::vector<std::vector<std::uint8_t>> blocks;
  for (std::size_t at = 0; at + kXmodemData <= image.size(); at += kXmodemData) {
    const auto number = static_cast<std::uint8_t>(at / kXmodemData + 1);
    const auto data = std::span(image).subspan(at, kXmodemData);
    const std::uint16_t crc = Crc16Xmodem(data);
    std::vector<std::uint8_t> frame(XmodemReceiver::kFrameSize);
    frame[0] = kSoh;
    frame[1] = number;
    frame[2] = static_cast<std::uint8_t>(255 - number);
    std::copy(data.begin(), data.end(), frame.begin() + 3);
    frame[131] = static_cast<std::uint8_t>(crc >> 8);
    frame[132] = static_cast<std::uint8_t>(crc);
    blocks.push_back(frame);
  }
  return blocks;
}

}  // namespace sim::test
