#include "sim/image_builder.h"

#include <cstdio>

#include "sim/parts.h"

namespace sim {
namespace {

constexpr std::uint32_t kStartWordAddress = 0xFFFC;
constexpr std::uint32_t kPatchAddress = 0x0220;
constexpr std::size_t kBytesPerLine = 16;

ImageSegment VersionSegment(const FirmwareImageSpec& recipe) {
  ImageSegment segment{recipe.versionAddress, {recipe.version.begin(), recipe.version.end()}};
  segment.data.push_back(0x00);
  while (segment.data.size() % kBytesPerLine != 0) segment.data.push_back(0xFF);
  return segment;
}

// Code that starts like an MSP430 start-up routine (MOV #..., SP) followed by
// bytes from a generator seeded with the version text.
ImageSegment CodeSegment(const FirmwareImageSpec& recipe) {
  std::uint32_t state = 2166136261u;
  for (const char c : recipe.version) state = (state ^ static_cast<std::uint8_t>(c)) * 16777619u;
  ImageSegment segment{recipe.codeAddress, {0x31, 0x40}};
  while (segment.data.size() < recipe.codeSize) {
    state = state * 1664525u + 1013904223u;
    segment.data.push_back(static_cast<std::uint8_t>(state >> 24));
  }
  return segment;
}

ImageSegment VectorSegment(const FirmwareImageSpec& recipe) {
  const std::uint32_t entry = recipe.entry != 0 ? recipe.entry : recipe.codeAddress;
  ImageSegment segment{kVectorTableAddress, std::vector<std::uint8_t>(32, 0xFF)};
  auto put = [&](std::uint32_t address) {
    segment.data[address - kVectorTableAddress] = static_cast<std::uint8_t>(entry);
    segment.data[address - kVectorTableAddress + 1] = static_cast<std::uint8_t>(entry >> 8);
  };
  put(kResetVectorAddress);
  if (recipe.startWord) put(kStartWordAddress);
  return segment;
}

}  // namespace

MemoryImage BuildFirmwareImage(const FirmwareImageSpec& recipe) {
  return {VersionSegment(recipe), CodeSegment(recipe), VectorSegment(recipe)};
}

MemoryImage BuildPatchImage() {
  // A routine that corrects the flash read of the 1.10 ROM and returns into it.
  // Stand-in bytes: the simulator checks only that the code was loaded into RAM
  // and started; it does not execute it.
  return {{kPatchAddress, {0x31, 0x40, 0x00, 0x0A, 0x3F, 0x40, 0x5A, 0x80, 0x82, 0x4F, 0x20, 0x01,
                           0x92, 0x43, 0x1E, 0x02, 0x30, 0x40, 0x22, 0x0C}}};
}

std::string ToTiTxt(const MemoryImage& image) {
  std::string out;
  char text[16];
  for (const ImageSegment& segment : image) {
    std::snprintf(text, sizeof text, "@%04X\r\n", static_cast<unsigned>(segment.address));
    out += text;
    for (std::size_t i = 0; i < segment.data.size(); ++i) {
      std::snprintf(text, sizeof text, "%02X", segment.data[i]);
      out += text;
      const bool lineEnd = (i + 1) % kBytesPerLine == 0 || i + 1 == segment.data.size();
      out += lineEnd ? "\r\n" : " ";
    }
  }
  out += "q\r\n";
  return out;
}

}  // namespace sim
