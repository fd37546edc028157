#include "loaders/wince_frames.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace loaders::wince {
namespace {

constexpr std::uint8_t kPolynomial = 0x1D;
constexpr std::uint8_t kCrcStart = 0xFF;

// Characters that the receiver takes as the frame's structure.
constexpr std::uint8_t kFrameStart = 'D';
constexpr std::uint8_t kSeparator = ',';
constexpr std::uint8_t kDataStart = '#';

constexpr int kDosFirstYear = 1980;
constexpr int kDosLastYear = 2107;

}  // namespace

std::uint8_t Crc8(std::span<const std::uint8_t> data) {
  std::uint8_t crc = kCrcStart;
  for (const std::uint8_t byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
      const bool top = (crc & 0x80) != 0;
      crc = static_cast<std::uint8_t>(crc << 1);
      if (top) crc ^= kPolynomial;
    }
  }
  return crc;
}

std::uint8_t CheckCharacter(std::span<const std::uint8_t> data) {
  const std::uint8_t crc = Crc8(data);
  // A zero would end the receiver's text; the others would read as framing.
  if (crc == 0x00) return 0x01;
  if (crc == kFrameStart || crc == kSeparator || crc == kDataStart) return static_cast<std::uint8_t>(crc + 1);
  return crc;
}

std::size_t BuildDataFrame(std::span<const std::uint8_t> block, std::uint8_t* out) {
  if (block.empty() || block.size() > kBlockBytes) return 0;
  core::FixedText<16> head;
  head.Format("D.%zu,", block.size());
  std::memcpy(out, head.c_str(), head.size());
  std::size_t length = head.size();
  out[length++] = CheckCharacter(block);
  out[length++] = kDataStart;
  std::memcpy(out + length, block.data(), block.size());
  return length + block.size();
}

CommandText HeaderCommand(std::string_view name, std::uint32_t dosStamp, std::uint32_t size, bool force,
                          std::int32_t thirdVersion) {
  const bool overwrite = force || thirdVersion < kFirstVersionWithCheckedHeader;
  CommandText text(overwrite ? "A.1205#" : "A.1201#");
  core::FixedText<32> numbers;
  numbers.Format(",%lu,%lu\r\n", static_cast<unsigned long>(dosStamp), static_cast<unsigned long>(size));
  // A name that leaves no room is cut, never the line end.
  text.Append(name.substr(0, CommandText::kCapacity - text.size() - numbers.size()));
  return text.Append(numbers);
}

CommandText RateCommand(serial::BaudTag baud) {
  CommandText text;
  return text.Format("A.1300#%lu\r\n", static_cast<unsigned long>(serial::BaudRateOf(baud)));
}

std::uint32_t DosDateTime(const std::tm& local) {
  const int year = local.tm_year + 1900;
  if (year < kDosFirstYear) return (1u << 5 | 1u) << 16;  // 1 January 1980, midnight
  if (year > kDosLastYear) {
    return static_cast<std::uint32_t>((kDosLastYear - kDosFirstYear) << 9 | 12 << 5 | 31) << 16 |
           static_cast<std::uint32_t>(23 << 11 | 59 << 5 | 29);
  }
  const auto date = static_cast<std::uint32_t>((year - kDosFirstYear) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
  const int seconds = std::min(local.tm_sec, 59);  // a leap second stays in its minute
  const auto time = static_cast<std::uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | seconds / 2);
  return date << 16 | time;
}

bool AsksForResend(const char* reply) {
  char* end = nullptr;
  const long value = std::strtol(reply, &end, 10);
  if (end == reply) return false;
  while (*end == ' ') ++end;
  return *end == '\0' && value == 2;
}

}  // namespace loaders::wince
