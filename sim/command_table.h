#pragma once
// Lookup in the boot loaders' command tables (one row per command byte).
#include <array>
#include <cstddef>
#include <cstdint>

namespace sim {

/// The row whose `code` is `code`, or nullptr.
template <typename Row, std::size_t N>
const Row* FindRow(const std::array<Row, N>& table, std::uint8_t code) {
  for (const Row& row : table) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

}  // namespace sim
