#include "sim/terminal_image.h"

#include "sim/srecord.h"
#include "sim/terminal_flash.h"

namespace sim {
namespace {

ImageSegment CodeSegment(const TerminalImageSpec& recipe) {
  std::uint32_t state = 2166136261u;
  for (const char c : recipe.version) state = (state ^ static_cast<std::uint8_t>(c)) * 16777619u;
  ImageSegment segment{recipe.codeAddress, {}};
  segment.data.reserve(recipe.codeSize);
  while (segment.data.size() < recipe.codeSize) {
    state = state * 1664525u + 1013904223u;
    segment.data.push_back(static_cast<std::uint8_t>(state >> 24));
  }
  return segment;
}

ImageSegment VersionSegment(const TerminalImageSpec& recipe) {
  ImageSegment segment{kTerminalVersionAddress, {recipe.version.begin(), recipe.version.end()}};
  do {
    segment.data.push_back(0x00);
  } while (segment.data.size() < kTerminalVersionBytes);
  return segment;
}

}  // namespace

MemoryImage BuildTerminalImage(const TerminalImageSpec& recipe) {
  return {CodeSegment(recipe), VersionSegment(recipe)};
}

std::string TerminalSRecordFile(const TerminalImageSpec& recipe, std::string_view header, int addressBytes) {
  const char dataType = addressBytes == 4 ? '3' : '2';
  const char endType = addressBytes == 4 ? '7' : '8';
  return ToSRecordFile(header, {{dataType, CodeSegment(recipe)}, {'1', VersionSegment(recipe)}}, endType,
                       recipe.codeAddress);
}

}  // namespace sim
