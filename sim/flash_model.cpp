#include "sim/flash_model.h"

#include <algorithm>

namespace sim {
namespace {

// The classic boot loader keeps its identity at the top of its ROM: the chip
// identification at 0x0FF0 (high byte first) and its version at 0x0FFA.
constexpr std::uint32_t kClassicIdAddress = 0x0FF0;
constexpr std::uint32_t kClassicVersionAddress = 0x0FFA;
// The 5xx device descriptor: info length, CRC length, CRC, device ID (little-endian),
// hardware and firmware revision.
constexpr std::uint32_t k5xxDescriptorAddress = 0x1A00;

}  // namespace

FlashModel::FlashModel(const PartGeometry& part)
    : part_(part), bytes_(part.top, 0xFF), ramWritten_(part.top, false) {
  if (part.family == BslFamily::kClassic) {
    bytes_[kClassicIdAddress] = static_cast<std::uint8_t>(part.chipId >> 8);
    bytes_[kClassicIdAddress + 1] = static_cast<std::uint8_t>(part.chipId);
    bytes_[kClassicVersionAddress] = static_cast<std::uint8_t>(part.bslVersion >> 8);
    bytes_[kClassicVersionAddress + 1] = static_cast<std::uint8_t>(part.bslVersion);
  } else if (part.family == BslFamily::k5xx) {
    const std::uint8_t descriptor[] = {0x06, 0x06, 0x00, 0x00, static_cast<std::uint8_t>(part.chipId),
                                       static_cast<std::uint8_t>(part.chipId >> 8), 0x10, 0x10};
    std::copy(std::begin(descriptor), std::end(descriptor), bytes_.begin() + k5xxDescriptorAddress);
  }
}

std::uint8_t FlashModel::Read(std::uint32_t address) const {
  return address < bytes_.size() ? bytes_[address] : 0xFF;
}

std::uint16_t FlashModel::ReadWord(std::uint32_t address) const {
  return static_cast<std::uint16_t>(Read(address) | (Read(address + 1) << 8));
}

std::vector<std::uint8_t> FlashModel::Read(std::uint32_t address, std::size_t count) const {
  std::vector<std::uint8_t> out(count);
  for (std::size_t i = 0; i < count; ++i) out[i] = Read(address + static_cast<std::uint32_t>(i));
  return out;
}

bool FlashModel::IsFlash(std::uint32_t address) const {
  return part_.main.Contains(address) || part_.info.Contains(address);
}

WriteResult FlashModel::Write(std::uint32_t address, std::span<const std::uint8_t> data) {
  WriteResult result = WriteResult::kOk;
  for (std::size_t i = 0; i < data.size(); ++i) {
    const std::uint32_t at = address + static_cast<std::uint32_t>(i);
    if (IsFlash(at)) {
      bytes_[at] &= data[i];
      if (bytes_[at] != data[i] && result == WriteResult::kOk) result = WriteResult::kVerifyFailed;
    } else if (IsRam(at)) {
      bytes_[at] = data[i];
      ramWritten_[at] = true;
    } else {
      result = WriteResult::kNotWritable;
    }
  }
  return result;
}

const MemoryRange* FlashModel::SegmentRange(std::uint32_t address) const {
  if (part_.main.Contains(address)) return &part_.main;
  if (part_.info.Contains(address)) return &part_.info;
  return nullptr;
}

bool FlashModel::EraseSegment(std::uint32_t address) {
  const MemoryRange* range = SegmentRange(address);
  if (range == nullptr) return false;
  // Segments are aligned to their size; a range that starts inside a segment
  // (main flash at 0x1100) owns only its part of it.
  const std::uint32_t first = std::max(range->start, address - address % range->segment);
  const std::uint32_t last = std::min(range->end, address - address % range->segment + range->segment);
  std::fill(bytes_.begin() + first, bytes_.begin() + last, 0xFF);
  return true;
}

void FlashModel::EraseMain() {
  std::fill(bytes_.begin() + part_.main.start, bytes_.begin() + part_.main.end, 0xFF);
}

bool FlashModel::RamWritten(std::uint32_t address) const {
  return address < ramWritten_.size() && ramWritten_[address];
}

void FlashModel::ResetRam() { std::fill(ramWritten_.begin(), ramWritten_.end(), false); }

void FlashModel::Load(const MemoryImage& image) {
  for (const ImageSegment& segment : image) {
    for (std::size_t i = 0; i < segment.data.size(); ++i) {
      const std::uint32_t at = segment.address + static_cast<std::uint32_t>(i);
      if (at < bytes_.size()) bytes_[at] = segment.data[i];
    }
  }
}

std::vector<std::uint8_t> FlashModel::FlashImage() const {
  std::vector<std::uint8_t> out(bytes_.size(), 0xFF);
  for (const MemoryRange* range : {&part_.main, &part_.info}) {
    std::copy(bytes_.begin() + range->start, bytes_.begin() + range->end, out.begin() + range->start);
  }
  return out;
}

}  // namespace sim
