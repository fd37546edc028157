#pragma once
// The MSP430 parts the simulator can be: their memory map, boot loader and
// how long their flash takes to program and erase.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace sim {

enum class BslFamily : std::uint8_t { kClassic, k5xx, kM16, kPic32 };

/// A memory range [start, end) erased in segments of `segment` bytes
/// (segment 0: not flash).
struct MemoryRange {
  std::uint32_t start = 0;
  std::uint32_t end = 0;
  std::uint32_t segment = 0;
  bool Contains(std::uint32_t address) const { return address >= start && address < end; }
};

/// How long the flash is busy, in microseconds, for what a boot loader asks
/// of it. Zero: not modelled (the answer leaves at once).
struct FlashTiming {
  std::uint32_t wordMicros = 0;          ///< one word or one byte programmed
  std::uint32_t segmentEraseMicros = 0;  ///< one segment erased
  std::uint32_t massEraseMicros = 0;     ///< all of main memory erased, as the boot loader does it
};

struct PartGeometry {
  std::string_view name;
  BslFamily family;
  std::uint16_t chipId;      ///< as the boot loader reports it (0xF149, 0x5438, ...)
  std::uint16_t bslVersion;  ///< major in the high byte, minor in the low byte (0x0160 is 1.60)
  MemoryRange main;          ///< main flash; its last segment holds the interrupt vectors
  MemoryRange info;          ///< information memory
  MemoryRange ram;
  MemoryRange bsl;           ///< the boot loader's own memory (ROM or protected flash)
  std::uint32_t top;         ///< size of the address space that the dump covers
  FlashTiming flash;
};

/// The part of that name, or nullptr. Names: f149 (BSL 1.10), f449 (1.40),
/// f1611 (1.60), f2618 (2.12, above 64 KB), f5438 (5xx/6xx); m16 and pic32
/// (the processors behind the external updater library and tools).
const PartGeometry* FindPart(std::string_view name);

/// Microseconds the flash of `part` needs to take `count` bytes from
/// `address`, programmed as a boot loader does it: a word at a time, a byte
/// where a word would not fit; bytes outside main and information memory
/// (RAM) cost nothing.
std::uint64_t ProgramMicros(const PartGeometry& part, std::uint32_t address, std::size_t count);

/// Word of the interrupt vector table that holds the reset vector, and the
/// start of the table (the 32 bytes that form the boot-loader password).
inline constexpr std::uint32_t kResetVectorAddress = 0xFFFE;
inline constexpr std::uint32_t kVectorTableAddress = 0xFFE0;

}  // namespace sim
