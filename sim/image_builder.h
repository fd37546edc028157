#pragma once
// Builds the firmware images that the updater's version lookup and boot-loader
// loaders read, and writes them as TI-TXT. Deterministic: the same recipe gives
// the same bytes.
#include <cstdint>
#include <string>

#include "sim/image.h"

namespace sim {

struct FirmwareImageSpec {
  std::string version = "1.00";         ///< written zero-terminated at versionAddress
  std::uint32_t versionAddress = 0x1080;
  std::uint32_t codeAddress = 0x4000;
  std::uint32_t codeSize = 0x0400;      ///< bytes of (pseudo-random) program code
  std::uint32_t entry = 0;              ///< reset vector; 0 means codeAddress
  bool startWord = false;               ///< also put the entry into the word at 0xFFFC
};

/// The image: the version segment first (so that a marker made of its address
/// line finds the version), then the code, then the 32-byte interrupt vector
/// table at 0xFFE0, all 0xFF except the reset vector (and the start word when
/// asked for). Code bytes depend on the version, so two versions differ.
MemoryImage BuildFirmwareImage(const FirmwareImageSpec& recipe);

/// The RAM patch for boot loader 1.10: a short routine at 0x0220.
MemoryImage BuildPatchImage();

/// TI-TXT text: "@ADDR" lines, 16 bytes per data line as two upper-case hex
/// digits separated by blanks, CR LF line ends, "q" at the end.
std::string ToTiTxt(const MemoryImage& image);

}  // namespace sim
