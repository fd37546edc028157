#pragma once
// The flash of the instrument's terminal, the component that the Basic-Loader
// programs from S-records: 1 MB at addresses 0x000000 to 0x0FFFFF.
//
//   0x000000-0x003FFF  the Basic-Loader itself: never written, 0xFF in the dump
//   0x004000-0x07FFFF  bank (1); the firmware's version text is at 0x004000
//   0x080000-0x0FFFFF  bank (2)
//
// Like real cells, programming only clears bits; a bank erase sets them back.
// Not thread-safe (one instrument, one thread).
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/flash_model.h"
#include "sim/image.h"

namespace sim {

inline constexpr std::uint32_t kTerminalFlashSize = 0x100000;
inline constexpr std::uint32_t kTerminalApplication = 0x004000;  ///< first address the loader writes
inline constexpr std::uint32_t kTerminalBank2 = 0x080000;
inline constexpr std::uint32_t kTerminalVersionAddress = 0x004000;

class TerminalFlash {
 public:
  TerminalFlash() : bytes_(kTerminalFlashSize, 0xFF) {}

  /// Bank 1 or 2 of an application address; 0 outside the application area.
  static int BankOf(std::uint32_t address);

  void EraseBank(int bank);
  /// Programs `data` at `address` (AND with what is there). kNotWritable when
  /// any byte lies outside the application area (nothing is written then);
  /// kVerifyFailed when a cell held a 0 where `data` has a 1.
  WriteResult Write(std::uint32_t address, std::span<const std::uint8_t> data);

  /// The power-on contents, as the factory programmed them.
  void Load(const MemoryImage& image);

  /// The zero-terminated version text at kTerminalVersionAddress (digits and
  /// dots), or nullopt when the flash holds none.
  std::optional<std::string> Version() const;

  /// All of the flash from address 0 (the flash.bin dump).
  const std::vector<std::uint8_t>& Image() const { return bytes_; }

  /// The flash is worth dumping again: a megabyte is not rewritten for
  /// every record, only when the programmer says so.
  void MarkSettled() { ++settled_; }
  std::uint32_t Settled() const { return settled_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint32_t settled_ = 0;
};

}  // namespace sim
