#include "loaders/xmodem_image.h"

#include <algorithm>

namespace loaders::xmodem {
namespace {

void PutLittleEndian(std::uint8_t* at, std::uint32_t value, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::uint16_t Crc16(std::span<const std::uint8_t> bytes) {
  std::uint16_t crc = 0;
  for (const std::uint8_t byte : bytes) {
    crc ^= static_cast<std::uint16_t>(byte << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                           : static_cast<std::uint16_t>(crc << 1);
    }
  }
  return crc;
}

std::size_t PaddedSize(std::size_t fileSize) {
  const std::size_t padding = kBlockData - (fileSize + kTrailerBytes) % kBlockData;
  return fileSize + padding + kTrailerBytes;
}

PaddedImage PadImage(std::span<const std::uint8_t> file) {
  PaddedImage image;
  image.bytes.assign(PaddedSize(file.size()), kPadding);
  std::copy(file.begin(), file.end(), image.bytes.begin());
  image.blockCount = static_cast<std::int32_t>(image.bytes.size() / kBlockData);
  image.length = static_cast<std::uint32_t>(image.bytes.size() - kTrailerBytes);
  image.crc = Crc16({image.bytes.data(), image.length});
  std::uint8_t* trailer = image.bytes.data() + image.length;
  PutLittleEndian(trailer, image.length, 4);
  PutLittleEndian(trailer + 4, image.crc, 2);
  return image;
}

BlockFrame BuildBlock(const PaddedImage& image, std::int32_t k) {
  BlockFrame frame;
  const auto number = static_cast<std::uint8_t>(k % 256);
  frame[0] = kSoh;
  frame[1] = number;
  frame[2] = static_cast<std::uint8_t>(255 - number);
  const auto data = image.bytes.begin() + static_cast<std::ptrdiff_t>((k - 1) * kBlockData);
  std::copy_n(data, kBlockData, frame.begin() + 3);
  const std::uint16_t crc = Crc16({frame.data() + 3, kBlockData});
  frame[kFrameBytes - 2] = static_cast<std::uint8_t>(crc >> 8);
  frame[kFrameBytes - 1] = static_cast<std::uint8_t>(crc & 0xFF);
  return frame;
}

}  // namespace loaders::xmodem
