#include "sim/emf_image.h"

namespace sim {
namespace {

constexpr std::uint32_t kStackPointer = 0x20008000;
constexpr std::uint32_t kLoadAddress = 0x4000;
constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kRecordOffsetField = 8;
constexpr std::size_t kMaxVersionLength = 15;

void PutWord(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t WordAt(std::span<const std::uint8_t> image, std::size_t at) {
  return image[at] | image[at + 1] << 8 | image[at + 2] << 16 |
         static_cast<std::uint32_t>(image[at + 3]) << 24;
}

bool IsVersionText(std::string_view text) {
  if (text.empty() || text.size() > kMaxVersionLength) return false;
  for (const char c : text) {
    if ((c < '0' || c > '9') && c != '.') return false;
  }
  return true;
}

}  // namespace

std::vector<std::uint8_t> BuildEmfImage(const FirmwareImageSpec& recipe) {
  std::vector<std::uint8_t> image;
  PutWord(image, kStackPointer);
  PutWord(image, kLoadAddress + kHeaderSize);
  PutWord(image, static_cast<std::uint32_t>(kHeaderSize + recipe.codeSize));
  PutWord(image, 0xFFFFFFFF);
  std::uint32_t state = 2166136261u;
  for (const char c : recipe.version) state = (state ^ static_cast<std::uint8_t>(c)) * 16777619u;
  for (std::uint32_t i = 0; i < recipe.codeSize; ++i) {
    state = state * 1664525u + 1013904223u;
    image.push_back(static_cast<std::uint8_t>(state >> 24));
  }
  image.push_back(0x00);
  image.insert(image.end(), kEmfVersionMarker.begin(), kEmfVersionMarker.end());
  image.push_back(static_cast<std::uint8_t>(recipe.version.size()));
  image.insert(image.end(), recipe.version.begin(), recipe.version.end());
  image.push_back(0x00);
  return image;
}

std::optional<std::string> ReadEmfVersion(std::span<const std::uint8_t> image) {
  if (image.size() < kHeaderSize) return std::nullopt;
  const std::size_t record = WordAt(image, kRecordOffsetField);
  const std::size_t textAt = record + 1 + kEmfVersionMarker.size() + 1;
  if (record >= image.size() || textAt > image.size()) return std::nullopt;
  const std::string_view marker(reinterpret_cast<const char*>(image.data()) + record + 1,
                                kEmfVersionMarker.size());
  const std::size_t length = image[textAt - 1];
  if (image[record] != 0x00 || marker != kEmfVersionMarker || textAt + length >= image.size() ||
      image[textAt + length] != 0x00) {
    return std::nullopt;
  }
  std::string text(reinterpret_cast<const char*>(image.data()) + textAt, length);
  if (!IsVersionText(text)) return std::nullopt;
  return text;
}

}  // namespace sim
