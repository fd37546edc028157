#include "sim/firmware_check.h"

#include <cstdlib>

namespace sim {
namespace {
constexpr std::size_t kMaxVersionLength = 15;
}

std::optional<std::string> ReadFirmwareVersion(const FlashModel& memory, std::uint32_t address) {
  std::string text;
  for (std::uint32_t at = address; text.size() <= kMaxVersionLength; ++at) {
    const char c = static_cast<char>(memory.Read(at));
    if (c == '\0') break;
    if ((c < '0' || c > '9') && c != '.') return std::nullopt;
    text.push_back(c);
  }
  if (text.empty() || text.size() > kMaxVersionLength) return std::nullopt;
  return text;
}

bool IsCode(const FlashModel& memory, std::uint32_t address) {
  return memory.Part().main.Contains(address) && memory.ReadWord(address & ~1u) != 0xFFFF;
}

std::optional<std::uint32_t> ResetEntry(const FlashModel& memory) {
  const std::uint32_t vector = memory.ReadWord(kResetVectorAddress);
  if (IsCode(memory, vector) || memory.Part().bsl.Contains(vector)) return vector;
  return std::nullopt;
}

bool HasRunnableFirmware(const FlashModel& memory, std::uint32_t versionAddress) {
  return ReadFirmwareVersion(memory, versionAddress).has_value() && ResetEntry(memory).has_value();
}

std::int32_t VersionValue(const std::string& text) {
  return static_cast<std::int32_t>(std::strtod(text.c_str(), nullptr) * 1000.01);
}

}  // namespace sim
