#pragma once
// The binary (.BIN) firmware image of the EMF instruments: what the image
// builder writes, what the EMF boot loader receives and where both find the
// version. Little-endian throughout.
//
//   offset        size  content
//   0             4     initial stack pointer (0x20008000)
//   4             4     entry address of the code (load address 0x4000 + 16)
//   8             4     offset R of the version record in the image
//   12            4     0xFFFFFFFF (reserved)
//   16            code  program code (pseudo-random, seeded by the version)
//   R = 16 + code 1     0x00
//   R + 1         13    "EMF-Version" CR LF (the marker)
//   R + 14        1     length L of the version text, 1 to 15
//   R + 15        L     the version text (digits and dots)
//   R + 15 + L    1     0x00
//
// The record sits at the end of the file, so a marker search over the file's
// last bytes finds it in images of any size, and the zero byte in front of the
// marker keeps a text search from reading the code as the version.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/image_builder.h"

namespace sim {

inline constexpr std::string_view kEmfVersionMarker = "EMF-Version\r\n";

/// The image for `recipe.version` with `recipe.codeSize` bytes of code (the
/// MSP430 addresses of the recipe are not used). Deterministic.
std::vector<std::uint8_t> BuildEmfImage(const FirmwareImageSpec& recipe);

/// The version that the record named in the header holds; nullopt when the
/// header, the record or the text is not as above.
std::optional<std::string> ReadEmfVersion(std::span<const std::uint8_t> image);

}  // namespace sim
