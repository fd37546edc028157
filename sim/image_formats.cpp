#include "sim/image_formats.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace sim {
namespace {

constexpr std::size_t kBytesPerRecord = 16;

void AppendHex(std::string& out, std::uint8_t byte) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", byte);
  out += text;
}

// One S-record: type, count, address (of `addressBytes`), data, checksum.
std::string SRecord(char type, std::size_t addressBytes, std::uint32_t address,
                    const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(addressBytes + data.size() + 1)};
  for (std::size_t i = addressBytes; i > 0; --i)
    bytes.push_back(static_cast<std::uint8_t>(address >> (8 * (i - 1))));
  bytes.insert(bytes.end(), data.begin(), data.end());
  std::uint8_t sum = 0;
  for (const std::uint8_t byte : bytes) sum = static_cast<std::uint8_t>(sum + byte);
  bytes.push_back(static_cast<std::uint8_t>(~sum));
  std::string out{'S', type};
  for (const std::uint8_t byte : bytes) AppendHex(out, byte);
  return out + "\r\n";
}

std::string HexRecord(std::uint8_t type, std::uint16_t offset,
                      const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(data.size()),
                                  static_cast<std::uint8_t>(offset >> 8),
                                  static_cast<std::uint8_t>(offset), type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  std::uint8_t sum = 0;
  for (const std::uint8_t byte : bytes) sum = static_cast<std::uint8_t>(sum + byte);
  bytes.push_back(static_cast<std::uint8_t>(-sum));
  std::string out = ":";
  for (const std::uint8_t byte : bytes) AppendHex(out, byte);
  return out + "\r\n";
}

// Calls `record(address, bytes)` for each run of at most 16 bytes of the
// image, never crossing a 64 KB page.
template <typename F>
void ForEachRecord(const MemoryImage& image, F record) {
  for (const ImageSegment& segment : image) {
    for (std::size_t i = 0; i < segment.data.size();) {
      const std::uint32_t address = segment.address + static_cast<std::uint32_t>(i);
      const std::size_t toPage = 0x10000 - (address & 0xFFFF);
      const std::size_t n = std::min({kBytesPerRecord, segment.data.size() - i, toPage});
      record(address,
             std::vector<std::uint8_t>(segment.data.begin() + i, segment.data.begin() + i + n));
      i += n;
    }
  }
}

}  // namespace

std::string ToSRecords(const MemoryImage& image) {
  std::uint32_t top = 0;
  for (const ImageSegment& segment : image) {
    top = std::max(top, segment.address + static_cast<std::uint32_t>(segment.data.size()) - 1);
  }
  const std::size_t addressBytes = top <= 0xFFFF ? 2 : top <= 0xFFFFFF ? 3 : 4;
  const char dataType = static_cast<char>('1' + addressBytes - 2);
  const char endType = static_cast<char>('9' - (addressBytes - 2));
  const std::string header = "instrument";
  std::string out = SRecord('0', 2, 0, {header.begin(), header.end()});
  ForEachRecord(image, [&](std::uint32_t address, const std::vector<std::uint8_t>& data) {
    out += SRecord(dataType, addressBytes, address, data);
  });
  return out + SRecord(endType, addressBytes, 0, {});
}

std::string ToIntelHex(const MemoryImage& image) {
  std::string out;
  std::int64_t page = -1;
  ForEachRecord(image, [&](std::uint32_t address, const std::vector<std::uint8_t>& data) {
    if (address >> 16 != page) {
      page = address >> 16;
      out += HexRecord(0x04, 0,
                       {static_cast<std::uint8_t>(page >> 8), static_cast<std::uint8_t>(page)});
    }
    out += HexRecord(0x00, static_cast<std::uint16_t>(address), data);
  });
  return out + HexRecord(0x01, 0, {});
}

}  // namespace sim
