#include "sim/parts.h"

#include <array>

namespace sim {
namespace {

// Memory maps after the data sheets of typical members of each family. The
// classic parts keep two 128-byte information segments (64-byte ones on the
// 2xx); the 5xx part has 512-byte main and 128-byte information segments.
constexpr std::array<PartGeometry, 7> kParts{{
    {"f149", BslFamily::kClassic, 0xF149, 0x0110, {0x1100, 0x10000, 512}, {0x1000, 0x1100, 128},
     {0x0200, 0x0A00, 0}, {0x0C00, 0x1000, 0}, 0x10000},
    {"f449", BslFamily::kClassic, 0xF449, 0x0140, {0x1100, 0x10000, 512}, {0x1000, 0x1100, 128},
     {0x0200, 0x0A00, 0}, {0x0C00, 0x1000, 0}, 0x10000},
    {"f1611", BslFamily::kClassic, 0xF16C, 0x0160, {0x4000, 0x10000, 512}, {0x1000, 0x1100, 128},
     {0x1100, 0x3900, 0}, {0x0C00, 0x1000, 0}, 0x10000},
    {"f2618", BslFamily::kClassic, 0xF26F, 0x0212, {0x3100, 0x20000, 512}, {0x1000, 0x1100, 64},
     {0x1100, 0x3100, 0}, {0x0C00, 0x1000, 0}, 0x20000},
    {"f5438", BslFamily::k5xx, 0x5438, 0x0000, {0x5C00, 0x45C00, 512}, {0x1800, 0x1A00, 128},
     {0x1C00, 0x5C00, 0}, {0x1000, 0x1800, 0}, 0x45C00},
    // The processors programmed through the external library and tools, kept
    // in a 64 KB address space with the same vector word as the others: 4 KB
    // flash blocks, no information memory, the boot loader in its own ROM.
    {"m16", BslFamily::kM16, 0x0016, 0x0100, {0x8000, 0x10000, 0x1000}, {0, 0, 0},
     {0x0400, 0x2C00, 0}, {0x7000, 0x8000, 0}, 0x10000},
    {"pic32", BslFamily::kPic32, 0x0032, 0x0102, {0x4000, 0x10000, 0x1000}, {0, 0, 0},
     {0x0000, 0x2000, 0}, {0x3000, 0x4000, 0}, 0x10000},
}};

}  // namespace

const PartGeometry* FindPart(std::string_view name) {
  for (const PartGeometry& part : kParts) {
    if (part.name == name) return &part;
  }
  return nullptr;
}

}  // namespace sim
