#pragma once
// The memory of one simulated MSP430: main flash, information memory, RAM and
// the boot loader's read-only area, on one address space.
//
// Flash behaves like the real cells: programming can only clear bits (a write
// stores old AND new), and only a segment erase sets them back to 1. RAM takes
// what is written. Everything else refuses writes. Reads anywhere below the
// part's top are allowed (vacant addresses read 0xFF). Not thread-safe; the
// instrument that owns it uses it from one thread.
#include <cstdint>
#include <span>
#include <vector>

#include "sim/image.h"
#include "sim/parts.h"

namespace sim {

enum class WriteResult : std::uint8_t {
  kOk,
  kVerifyFailed,  ///< flash: a bit that is 0 should have become 1 (not erased)
  kNotWritable,   ///< outside flash and RAM, or past the top
};

class FlashModel {
 public:
  explicit FlashModel(const PartGeometry& part);

  const PartGeometry& Part() const { return part_; }

  std::uint8_t Read(std::uint32_t address) const;
  std::uint16_t ReadWord(std::uint32_t address) const;
  std::vector<std::uint8_t> Read(std::uint32_t address, std::size_t count) const;

  /// Programs flash (AND) or writes RAM. The whole block is written as far as
  /// it is writable; the result tells whether every byte now holds `data`.
  WriteResult Write(std::uint32_t address, std::span<const std::uint8_t> data);

  /// Erases the flash segment that contains `address`; false (nothing erased)
  /// when the address is not in main or information memory.
  bool EraseSegment(std::uint32_t address);
  /// Erases all of main memory (information memory stays).
  void EraseMain();

  bool IsFlash(std::uint32_t address) const;
  bool IsRam(std::uint32_t address) const { return part_.ram.Contains(address); }
  /// True when RAM at `address` was written since the last ResetRam().
  bool RamWritten(std::uint32_t address) const;
  /// RAM loses what was loaded into it (the part restarted).
  void ResetRam();

  /// Stores an image as a programmer at the factory leaves it: the image's
  /// bytes take their values directly; every other byte stays as it was.
  void Load(const MemoryImage& image);

  /// Main and information memory at their addresses from 0 to the top, every
  /// other byte 0xFF (the flash.bin dump).
  std::vector<std::uint8_t> FlashImage() const;

 private:
  const MemoryRange* SegmentRange(std::uint32_t address) const;

  const PartGeometry& part_;
  std::vector<std::uint8_t> bytes_;
  std::vector<bool> ramWritten_;
};

}  // namespace sim
