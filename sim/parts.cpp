#include "sim/parts.h"

#include <array>

namespace sim {
namespace {

// The 1xx, 2xx and 4xx flash controllers count their times in cycles of the
// flash timing generator, which may run anywhere from 257 to 476 kHz (f_FTG).
// The times below are the worst case a host must wait for: the slowest
// generator, rounded up to the next microsecond.
constexpr std::uint64_t kSlowestFtgHz = 257'000;
constexpr std::uint32_t FtgMicros(std::uint64_t cycles) {
  return static_cast<std::uint32_t>((cycles * 1'000'000 + kSlowestFtgHz - 1) / kSlowestFtgHz);
}
// The 1xx boot loader repeats the mass erase (5297 t_FTG, 20.6 ms at 257 kHz)
// until the cumulative mass erase time t_CMErase of 200 ms is reached: ten times.
constexpr std::uint32_t kMassErase1xxMicros = (200'000 + FtgMicros(5297) - 1) / FtgMicros(5297) * FtgMicros(5297);

// MSP430F1611 data sheet (and the other 1xx and 4xx parts): t_Word 35 t_FTG
// (136 us), t_Seg Erase 4819 t_FTG (18.8 ms), t_CMErase 200 ms.
constexpr FlashTiming k1xxFlash{FtgMicros(35), FtgMicros(4819), kMassErase1xxMicros};
// MSP430F261x data sheet: t_Word 30 t_FTG (117 us), t_Seg Erase 4819 t_FTG,
// t_Mass Erase 10593 t_FTG (41.2 ms, already above t_CMErase of 20 ms).
constexpr FlashTiming k2xxFlash{FtgMicros(30), FtgMicros(4819), FtgMicros(10593)};
// MSP430F5438 data sheet, maximum values: t_Word (word or byte program time)
// 64..85 us, t_Erase (segment, mass and bank erase) 23..32 ms.
constexpr FlashTiming k5xxFlash{85, 32'000, 32'000};

// Memory maps after the data sheets of typical members of each family. The
// classic parts keep two 128-byte information segments (64-byte ones on the
// 2xx); the 5xx part has 512-byte main and 128-byte information segments.
constexpr std::array<PartGeometry, 7> kParts{{
    {"f149", BslFamily::kClassic, 0xF149, 0x0110, {0x1100, 0x10000, 512}, {0x1000, 0x1100, 128},
     {0x0200, 0x0A00, 0}, {0x0C00, 0x1000, 0}, 0x10000, k1xxFlash},
    {"f449", BslFamily::kClassic, 0xF449, 0x0140, {0x1100, 0x10000, 512}, {0x1000, 0x1100, 128},
     {0x0200, 0x0A00, 0}, {0x0C00, 0x1000, 0}, 0x10000, k1xxFlash},
    {"f1611", BslFamily::kClassic, 0xF16C, 0x0160, {0x4000, 0x10000, 512}, {0x1000, 0x1100, 128},
     {0x1100, 0x3900, 0}, {0x0C00, 0x1000, 0}, 0x10000, k1xxFlash},
    {"f2618", BslFamily::kClassic, 0xF26F, 0x0212, {0x3100, 0x20000, 512}, {0x1000, 0x1100, 64},
     {0x1100, 0x3100, 0}, {0x0C00, 0x1000, 0}, 0x20000, k2xxFlash},
    {"f5438", BslFamily::k5xx, 0x5438, 0x0000, {0x5C00, 0x45C00, 512}, {0x1800, 0x1A00, 128},
     {0x1C00, 0x5C00, 0}, {0x1000, 0x1800, 0}, 0x45C00, k5xxFlash},
    // The processors programmed through the external library and tools, kept
    // in a 64 KB address space with the same vector word as the others: 4 KB
    // flash blocks, no information memory, the boot loader in its own ROM;
    // their flash answers at once.
    {"m16", BslFamily::kM16, 0x0016, 0x0100, {0x8000, 0x10000, 0x1000}, {0, 0, 0},
     {0x0400, 0x2C00, 0}, {0x7000, 0x8000, 0}, 0x10000, {}},
    {"pic32", BslFamily::kPic32, 0x0032, 0x0102, {0x4000, 0x10000, 0x1000}, {0, 0, 0},
     {0x0000, 0x2000, 0}, {0x3000, 0x4000, 0}, 0x10000, {}},
}};

}  // namespace

const PartGeometry* FindPart(std::string_view name) {
  for (const PartGeometry& part : kParts) {
    if (part.name == name) return &part;
  }
  return nullptr;
}

std::uint64_t ProgramMicros(const PartGeometry& part, std::uint32_t address, std::size_t count) {
  const std::uint64_t end = std::uint64_t{address} + count;
  std::uint64_t writes = 0;
  for (std::uint64_t at = address; at < end; at += at % 2 == 0 && at + 1 < end ? 2 : 1) {
    const auto here = static_cast<std::uint32_t>(at);
    if (part.main.Contains(here) || part.info.Contains(here)) ++writes;
  }
  return writes * part.flash.wordMicros;
}

}  // namespace sim
