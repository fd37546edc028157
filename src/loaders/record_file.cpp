#include "loaders/record_file.h"

#include <cstdint>
#include <string>
#include <vector>

#include "platform/files.h"

namespace loaders {
namespace {

constexpr char kDosEndMark = 0x1A;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string_view TrimLine(std::string_view line) {
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  return line;
}

// The bytes of a run of hexadecimal pairs; false on an odd count or a non-hex character.
bool HexBytes(std::string_view digits, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  if (digits.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    const int hi = HexDigit(digits[i]);
    const int lo = HexDigit(digits[i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
  }
  return true;
}

std::uint8_t ByteSum(const std::vector<std::uint8_t>& bytes, std::size_t count) {
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
  return sum;
}

enum class Record { Data, End, Other };

// What one line holds; `error` is set when it is no good record.
using LineReader = Record (*)(std::string_view line, TiTxtError& error);

Record ReadSRecord(std::string_view line, TiTxtError& error) {
  // Address bytes per record type S0..S9; 0 marks the type that does not exist.
  static constexpr int kAddressBytes[10] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};
  std::vector<std::uint8_t> bytes;
  if (line.size() < 4 || line[0] != 'S' || line[1] < '0' || line[1] > '9' ||
      !HexBytes(line.substr(2), bytes)) {
    error = TiTxtError::BadRecord;
    return Record::Other;
  }
  const int type = line[1] - '0';
  // The count covers address, data and checksum.
  if (kAddressBytes[type] == 0 || bytes[0] + 1u != bytes.size() ||
      bytes[0] < kAddressBytes[type] + 1) {
    error = TiTxtError::BadRecord;
    return Record::Other;
  }
  if (static_cast<std::uint8_t>(~ByteSum(bytes, bytes.size() - 1)) != bytes.back()) {
    error = TiTxtError::BadChecksum;
    return Record::Other;
  }
  if (type >= 1 && type <= 3) return Record::Data;
  return type >= 7 ? Record::End : Record::Other;
}

Record ReadHexRecord(std::string_view line, TiTxtError& error) {
  constexpr std::size_t kFrameBytes = 5;  // count, address (2), type, checksum
  std::vector<std::uint8_t> bytes;
  if (line.size() < 1 + 2 * kFrameBytes || line[0] != ':' || !HexBytes(line.substr(1), bytes) ||
      bytes.size() != bytes[0] + kFrameBytes || bytes[3] > 5) {
    error = TiTxtError::BadRecord;
    return Record::Other;
  }
  if (ByteSum(bytes, bytes.size()) != 0) {
    error = TiTxtError::BadChecksum;
    return Record::Other;
  }
  if (bytes[3] == 0) return Record::Data;
  return bytes[3] == 1 ? Record::End : Record::Other;
}

TiTxtResult CheckRecords(std::string_view text, LineReader read) {
  bool data = false;
  int lineNumber = 0;
  for (const std::string& whole : platform::SplitLines(text)) {
    const std::string_view line = TrimLine(whole);
    ++lineNumber;
    if (line.empty() || (line.size() == 1 && line[0] == kDosEndMark)) continue;
    TiTxtError error = TiTxtError::None;
    const Record record = read(line, error);
    if (error != TiTxtError::None) return {error, lineNumber};
    if (record == Record::End)
      return data ? TiTxtResult{} : TiTxtResult{TiTxtError::NoData, lineNumber};
    data = data || record == Record::Data;
  }
  return {TiTxtError::NoEndRecord, 0};
}

}  // namespace

TiTxtResult CheckSRecords(std::string_view text) { return CheckRecords(text, &ReadSRecord); }

TiTxtResult CheckIntelHex(std::string_view text) { return CheckRecords(text, &ReadHexRecord); }

}  // namespace loaders
