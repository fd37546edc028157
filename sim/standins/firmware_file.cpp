#include "sim/standins/firmware_file.h"

#include <dirent.h>
#include <strings.h>

#include <fstream>
#include <sstream>

namespace standin {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The bytes written as hexadecimal digit pairs from `from` to the line's end.
std::optional<std::vector<std::uint8_t>> HexBytes(const std::string& line, std::size_t from) {
  if ((line.size() - from) % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = from; i < line.size(); i += 2) {
    const int high = HexValue(line[i]);
    const int low = HexValue(line[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return bytes;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

void AddData(std::vector<Block>& blocks, std::uint32_t address, const std::uint8_t* data,
             std::size_t n) {
  if (n == 0) return;
  if (blocks.empty() || blocks.back().address + blocks.back().data.size() != address)
    blocks.push_back({address, {}});
  blocks.back().data.insert(blocks.back().data.end(), data, data + n);
}

std::string Where(std::size_t index) { return "line " + std::to_string(index + 1) + ": "; }

}  // namespace

std::optional<std::string> ReadFirmwareFile(const std::string& path) {
  std::string actual = path;
  std::ifstream in(actual, std::ios::binary);
  if (!in) {
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (DIR* folder = ::opendir(dir.c_str())) {
      while (const dirent* entry = ::readdir(folder)) {
        if (::strcasecmp(entry->d_name, name.c_str()) == 0) actual = dir + "/" + entry->d_name;
      }
      ::closedir(folder);
    }
    in.open(actual, std::ios::binary);
    if (!in) return std::nullopt;
  }
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::optional<std::vector<Block>> ParseSRecords(const std::string& text, std::string& error) {
  std::vector<Block> blocks;
  const std::vector<std::string> lines = Lines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty()) continue;
    const auto bytes = line.size() >= 4 && line[0] == 'S' ? HexBytes(line, 2) : std::nullopt;
    if (!bytes || bytes->empty() || (*bytes)[0] + 1u != bytes->size()) {
      error = Where(i) + "not an S-record";
      return std::nullopt;
    }
    unsigned sum = 0;
    for (const std::uint8_t byte : *bytes) sum += byte;
    if ((sum & 0xFF) != 0xFF) {
      error = Where(i) + "checksum wrong";
      return std::nullopt;
    }
    const char type = line[1];
    if (type == '7' || type == '8' || type == '9') break;
    if (type == '0' || type == '5' || type == '6') continue;
    if (type < '1' || type > '3' || bytes->size() < static_cast<std::size_t>(type - '1' + 4)) {
      error = Where(i) + "unknown record type S" + std::string(1, type);
      return std::nullopt;
    }
    const std::size_t addressBytes = static_cast<std::size_t>(type - '1' + 2);
    std::uint32_t address = 0;
    for (std::size_t k = 1; k <= addressBytes; ++k) address = (address << 8) | (*bytes)[k];
    AddData(blocks, address, bytes->data() + 1 + addressBytes, bytes->size() - 2 - addressBytes);
  }
  if (blocks.empty()) {
    error = "no data records";
    return std::nullopt;
  }
  return blocks;
}

std::optional<IntelHexFile> ParseIntelHex(const std::string& text, std::string& error) {
  IntelHexFile file;
  std::uint32_t base = 0;
  bool ended = false;
  const std::vector<std::string> lines = Lines(text);
  for (std::size_t i = 0; i < lines.size() && !ended; ++i) {
    const std::string& line = lines[i];
    if (line.empty()) continue;
    const auto bytes = line[0] == ':' ? HexBytes(line, 1) : std::nullopt;
    if (!bytes || bytes->size() < 5 || (*bytes)[0] + 5u != bytes->size()) {
      error = Where(i) + "not an Intel HEX record";
      return std::nullopt;
    }
    unsigned sum = 0;
    for (const std::uint8_t byte : *bytes) sum += byte;
    if ((sum & 0xFF) != 0) {
      error = Where(i) + "checksum wrong";
      return std::nullopt;
    }
    const std::uint8_t type = (*bytes)[3];
    const std::uint8_t* data = bytes->data() + 4;
    const std::size_t n = (*bytes)[0];
    if (type > 5 || ((type == 2 || type == 4) && n != 2)) {
      error = Where(i) + "unknown or malformed record type " + std::to_string(type);
      return std::nullopt;
    }
    if (type == 0) AddData(file.blocks, base + (((*bytes)[1] << 8) | (*bytes)[2]), data, n);
    if (type == 2) base = static_cast<std::uint32_t>((data[0] << 8) | data[1]) << 4;
    if (type == 4) base = static_cast<std::uint32_t>((data[0] << 8) | data[1]) << 16;
    ended = type == 1;
    file.records.push_back(*bytes);
  }
  if (!ended || file.blocks.empty()) {
    error = ended ? "no data records" : "no end-of-file record";
    return std::nullopt;
  }
  return file;
}

}  // namespace standin
