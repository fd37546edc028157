#pragma once
// The firmware of the terminal that the Basic-Loader takes: its memory image
// and the S-record file ("L3_TermH.A37", "L3_TermL.A37") that carries it.
// Deterministic: the same recipe gives the same bytes.
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/image.h"

namespace sim {

struct TerminalImageSpec {
  std::string version = "1.20";         ///< at most 5 characters (it fills one 6-byte record)
  std::uint32_t codeAddress = 0x004010;
  std::uint32_t codeSize = 0x8000;      ///< bytes of (pseudo-random) program code
};

inline constexpr std::size_t kTerminalVersionBytes = 6;

/// The code at its address, then the version text, zero-terminated and
/// padded with zeros to 6 bytes, at the terminal's version address. Code
/// bytes depend on the version, so two versions differ.
MemoryImage BuildTerminalImage(const TerminalImageSpec& recipe);

/// The S-record file: S0 with `header` (the file's name, which the loader
/// checks against the terminal it runs on), the code as S2 records
/// (`addressBytes` 3) or S3 records (4) of 32 bytes, then the version as one
/// S1 record (it starts "S1094000", near the end of the file, where a version
/// marker of that text finds it), S5, and S8 or S7 with the code address.
std::string TerminalSRecordFile(const TerminalImageSpec& recipe, std::string_view header, int addressBytes);

}  // namespace sim
