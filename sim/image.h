#pragma once
// A memory image: data segments at absolute addresses, as TI-TXT files hold them.
#include <cstdint>
#include <vector>

namespace sim {

struct ImageSegment {
  std::uint32_t address = 0;
  std::vector<std::uint8_t> data;
};

using MemoryImage = std::vector<ImageSegment>;

}  // namespace sim
