#pragma once
// The MSP430 boot loaders' password is the interrupt vector table (32 bytes
// from 0xFFE0). A boot loader reached without the running firmware (a blank
// instrument, or one that a failed run left in its boot loader) cannot be
// asked for it, so the loaders try, in this order: the table they would use
// anyway, the erased table (a blank chip; a vector segment that a failed run
// erased, or that the boot loader itself erased after a wrong password), and
// the new image's own table (vectors that a failed run already wrote).
#include <array>
#include <cstdint>
#include <vector>

#include "loaders/ti_txt_image.h"

namespace loaders {

inline constexpr std::uint32_t kVectorTableAddress = 0xFFE0;
inline constexpr std::size_t kVectorTableBytes = 32;

using VectorTable = std::array<std::uint8_t, kVectorTableBytes>;

/// Erased (0xFF) except the reset vector in the last two bytes.
VectorTable TableWithResetVector(std::uint16_t resetVector);

/// Writes the bytes of `block` that lie in 0xFFE0..0xFFFF into `table`.
void OverlayVectorTable(VectorTable& table, const ImageBlock& block);

/// The image's bytes at 0xFFE0..0xFFFF, 0xFF where the image has none.
VectorTable ImageVectorTable(const TiTxtImage& image);

/// `first`, then the erased table and the image's table, each once.
std::vector<VectorTable> PasswordGuesses(const VectorTable& first, const TiTxtImage& image);

}  // namespace loaders
