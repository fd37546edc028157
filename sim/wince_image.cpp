#include "sim/wince_image.h"

#include <algorithm>

namespace sim {
namespace {

// Units between the key's terminating zero and the value (the resource's
// length, value length and type words, here left zero).
constexpr std::size_t kUnitsBeforeValue = 3;

void AppendUnits(std::vector<std::uint8_t>& out, std::string_view text) {
  for (const char c : text) {
    out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(0x00);
  }
  out.push_back(0x00);  // the terminating zero
  out.push_back(0x00);
}

// A zero unit in front of the key, so that the key starts a text of its own,
// then the key, the words before the value, the value and a closing zero unit.
std::vector<std::uint8_t> VersionBlock(std::string_view version) {
  std::vector<std::uint8_t> block(2, 0x00);
  AppendUnits(block, kWinceVersionKey);
  block.insert(block.end(), 2 * kUnitsBeforeValue, 0x00);
  AppendUnits(block, version);
  block.insert(block.end(), 2, 0x00);
  return block;
}

std::vector<std::uint8_t> Units(std::string_view text) {
  std::vector<std::uint8_t> out;
  AppendUnits(out, text);
  return out;
}

}  // namespace

std::vector<std::uint8_t> BuildWinceFile(const WinceFileRecipe& recipe) {
  const std::vector<std::uint8_t> version =
      recipe.version.empty() ? std::vector<std::uint8_t>{} : VersionBlock(recipe.version);
  std::size_t size = std::max<std::size_t>(recipe.size, version.size());
  // The lookup reads 16-bit units counted from the file's end: keep the size
  // even so that the version's units line up.
  if (!version.empty()) size += size % 2;
  std::uint32_t state = 2166136261u;
  for (const char c : recipe.seed + recipe.version)
    state = (state ^ static_cast<std::uint8_t>(c)) * 16777619u;
  std::vector<std::uint8_t> out;
  out.reserve(size);
  while (out.size() < size - version.size()) {
    state = state * 1664525u + 1013904223u;
    out.push_back(static_cast<std::uint8_t>(state >> 24));
  }
  out.insert(out.end(), version.begin(), version.end());
  return out;
}

std::string WinceFileVersion(std::span<const std::uint8_t> file) {
  const std::vector<std::uint8_t> key = Units(kWinceVersionKey);
  const auto found = std::find_end(file.begin(), file.end(), key.begin(), key.end());
  if (found == file.end()) return "";
  std::string version;
  std::size_t at =
      static_cast<std::size_t>(found - file.begin()) + key.size() + 2 * kUnitsBeforeValue;
  for (; at + 1 < file.size() && (file[at] != 0 || file[at + 1] != 0); at += 2) {
    version += static_cast<char>(file[at]);
  }
  return version;
}

}  // namespace sim
