#include "loaders/boot_passwords.h"

#include <algorithm>

namespace loaders {

VectorTable TableWithResetVector(std::uint16_t resetVector) {
  VectorTable table;
  table.fill(0xFF);
  table[kVectorTableBytes - 2] = static_cast<std::uint8_t>(resetVector & 0xFF);
  table[kVectorTableBytes - 1] = static_cast<std::uint8_t>(resetVector >> 8);
  return table;
}

void OverlayVectorTable(VectorTable& table, const ImageBlock& block) {
  for (std::size_t i = 0; i < block.count; ++i) {
    const std::uint32_t address = block.address + static_cast<std::uint32_t>(i);
    if (address >= kVectorTableAddress && address < kVectorTableAddress + kVectorTableBytes) {
      table[address - kVectorTableAddress] = block.data[i];
    }
  }
}

VectorTable ImageVectorTable(const TiTxtImage& image) {
  VectorTable table;
  table.fill(0xFF);
  for (const ImageBlock& block : image.blocks) OverlayVectorTable(table, block);
  return table;
}

std::vector<VectorTable> PasswordGuesses(const VectorTable& first, const TiTxtImage& image) {
  VectorTable erased;
  erased.fill(0xFF);
  std::vector<VectorTable> guesses{first};
  for (const VectorTable& next : {erased, ImageVectorTable(image)}) {
    if (std::find(guesses.begin(), guesses.end(), next) == guesses.end()) guesses.push_back(next);
  }
  return guesses;
}

}  // namespace loaders
