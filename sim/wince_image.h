#pragma once
// Builds the files of a WinCE installation: deterministic pseudo-random
// content and, for program files, the version where the updater's version
// lookup reads it: near the end, among the 16-bit texts of the file's version
// resource, the key "FileVersion" and, three characters after its
// terminating zero, the version as a zero-terminated 16-bit text.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

inline constexpr std::string_view kWinceVersionKey = "FileVersion";

struct WinceFileRecipe {
  std::string seed;        ///< makes the content (the file's name, for example)
  std::string version;     ///< empty: the file carries no version
  std::uint32_t size = 0;  ///< bytes; rounded up to even and to room for the version
};

/// The file's bytes. The same recipe always gives the same bytes.
std::vector<std::uint8_t> BuildWinceFile(const WinceFileRecipe& recipe);

/// The version a program file carries in that form (the last key in the
/// file wins), or an empty text when it carries none.
std::string WinceFileVersion(std::span<const std::uint8_t> file);

}  // namespace sim
