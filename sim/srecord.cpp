#include "sim/srecord.h"

#include <algorithm>
#include <cstdio>

namespace sim {
namespace {

constexpr std::size_t kMinimumLength = 4;  // "S" type count
constexpr std::size_t kBytesPerRecord = 32;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The hex pairs after "S" and the type digit, as bytes; nullopt for a
// character that is not a hex digit or an odd number of them.
std::optional<std::vector<std::uint8_t>> HexBytes(std::string_view digits) {
  if (digits.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(digits.size() / 2);
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    const int high = HexDigit(digits[i]);
    const int low = HexDigit(digits[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  return bytes;
}

std::uint8_t Checksum(std::span<const std::uint8_t> countAddressData) {
  unsigned sum = 0;
  for (const std::uint8_t byte : countAddressData) sum += byte;
  return static_cast<std::uint8_t>(~sum);
}

}  // namespace

int AddressBytes(char type) {
  switch (type) {
    case '0': case '1': case '5': case '9': return 2;
    case '2': case '8': return 3;
    case '3': case '7': return 4;
    default: return 0;
  }
}

std::optional<SRecord> ParseSRecord(std::string_view line) {
  if (line.size() < kMinimumLength || line[0] != 'S') return std::nullopt;
  const char type = line[1];
  const int addressBytes = AddressBytes(type);
  if (addressBytes == 0) return std::nullopt;
  const auto bytes = HexBytes(line.substr(2));
  // count, address, checksum at least; the count covers all but itself.
  if (!bytes || bytes->size() < static_cast<std::size_t>(addressBytes) + 2) return std::nullopt;
  if (bytes->front() != bytes->size() - 1) return std::nullopt;
  const std::span<const std::uint8_t> all(*bytes);
  if (Checksum(all.first(all.size() - 1)) != all.back()) return std::nullopt;
  SRecord record;
  record.type = type;
  for (int i = 0; i < addressBytes; ++i) record.address = record.address << 8 | all[1 + i];
  record.data.assign(all.begin() + 1 + addressBytes, all.end() - 1);
  if (type == '0' && record.address != 0) return std::nullopt;
  if ((type == '5' || IsEndRecord(type)) && !record.data.empty()) return std::nullopt;
  return record;
}

std::string FormatSRecord(char type, std::uint32_t address, std::span<const std::uint8_t> data) {
  const int addressBytes = AddressBytes(type);
  std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(addressBytes + data.size() + 1)};
  for (int i = addressBytes - 1; i >= 0; --i) bytes.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
  bytes.insert(bytes.end(), data.begin(), data.end());
  bytes.push_back(Checksum(bytes));
  std::string line = {'S', type};
  char pair[3];
  for (const std::uint8_t byte : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", byte);
    line += pair;
  }
  return line + "\r\n";
}

std::string ToSRecordFile(std::string_view header, const std::vector<SRecordBlock>& blocks, char endType,
                          std::uint32_t entry) {
  const std::vector<std::uint8_t> headerBytes(header.begin(), header.end());
  std::string out = FormatSRecord('0', 0, headerBytes);
  std::uint32_t records = 0;
  for (const SRecordBlock& block : blocks) {
    const std::span<const std::uint8_t> data(block.segment.data);
    for (std::size_t at = 0; at < data.size(); at += kBytesPerRecord) {
      const auto address = static_cast<std::uint32_t>(block.segment.address + at);
      out += FormatSRecord(block.dataType, address, data.subspan(at, std::min(kBytesPerRecord, data.size() - at)));
      ++records;
    }
  }
  out += FormatSRecord('5', records);
  return out + FormatSRecord(endType, entry);
}

}  // namespace sim
