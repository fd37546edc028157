#include "sim/terminal_flash.h"

#include <algorithm>

namespace sim {
namespace {
constexpr std::size_t kMaxVersionLength = 15;
}

int TerminalFlash::BankOf(std::uint32_t address) {
  if (address < kTerminalApplication || address >= kTerminalFlashSize) return 0;
  return address < kTerminalBank2 ? 1 : 2;
}

void TerminalFlash::EraseBank(int bank) {
  const std::uint32_t start = bank == 1 ? kTerminalApplication : kTerminalBank2;
  const std::uint32_t end = bank == 1 ? kTerminalBank2 : kTerminalFlashSize;
  std::fill(bytes_.begin() + start, bytes_.begin() + end, 0xFF);
}

WriteResult TerminalFlash::Write(std::uint32_t address, std::span<const std::uint8_t> data) {
  const std::uint64_t last = std::uint64_t{address} + std::max<std::size_t>(data.size(), 1) - 1;
  if (BankOf(address) == 0 || last >= kTerminalFlashSize) return WriteResult::kNotWritable;
  bool verified = true;
  for (std::size_t i = 0; i < data.size(); ++i) {
    std::uint8_t& cell = bytes_[address + i];
    cell &= data[i];
    verified = verified && cell == data[i];
  }
  return verified ? WriteResult::kOk : WriteResult::kVerifyFailed;
}

void TerminalFlash::Load(const MemoryImage& image) {
  for (const ImageSegment& segment : image) {
    for (std::size_t i = 0; i < segment.data.size(); ++i) {
      const std::uint64_t at = std::uint64_t{segment.address} + i;
      if (at < kTerminalFlashSize) bytes_[at] = segment.data[i];
    }
  }
}

std::optional<std::string> TerminalFlash::Version() const {
  std::string text;
  for (std::uint32_t at = kTerminalVersionAddress; text.size() <= kMaxVersionLength; ++at) {
    const char c = static_cast<char>(bytes_[at]);
    if (c == '\0') break;
    if ((c < '0' || c > '9') && c != '.') return std::nullopt;
    text.push_back(c);
  }
  if (text.empty() || text.size() > kMaxVersionLength) return std::nullopt;
  return text;
}

}  // namespace sim
