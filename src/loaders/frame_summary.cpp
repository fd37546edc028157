#include "loaders/frame_summary.h"

#include <cstdio>
#include <string_view>

#include "loaders/bsl_frames.h"

namespace loaders {
namespace {

constexpr std::uint8_t kSoh = 0x01;         // XMODEM block of 128 bytes
constexpr std::uint8_t kStx = 0x02;         // XMODEM block of 1024 bytes
constexpr std::uint8_t kEot = 0x04;         // XMODEM end of transmission
constexpr std::size_t kXmodemOverhead = 5;  // start, number, complement, CRC-16

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

// What a command's fields mean: an address, and a length of data.
enum Fields { kNone, kAddress, kAddressAndLength };

struct CommandName {
  std::uint8_t code;
  const char* name;
  Fields fields;
};

constexpr CommandName kClassicNames[] = {
    {classic::RxPassword, "RX password", kNone},
    {classic::RxDataBlock, "RX data block", kAddressAndLength},
    {classic::TxDataBlock, "TX data block", kAddressAndLength},
    {classic::EraseSegment, "erase", kAddress},
    {classic::LoadPc, "load PC", kAddress},
    {classic::TxBslVersion, "TX BSL version", kNone},
    {classic::ChangeBaud, "change baud", kNone},
    {classic::SetOffset, "set offset", kNone},
};

constexpr CommandName kBsl5xxNames[] = {
    {bsl5xx::RxDataBlock, "RX data block", kAddressAndLength},
    {bsl5xx::RxPassword, "RX password", kNone},
    {bsl5xx::EraseSegment, "erase", kAddress},
    {bsl5xx::LoadPc, "load PC", kAddress},
    {bsl5xx::TxDataBlock, "TX data block", kAddressAndLength},
    {bsl5xx::TxBslVersion, "TX BSL version", kNone},
    {bsl5xx::ChangeBaud, "change baud", kNone},
};

template <std::size_t N>
const CommandName* Find(std::uint8_t code, const CommandName (&names)[N]) {
  for (const CommandName& known : names) {
    if (known.code == code) return &known;
  }
  return nullptr;
}

// "BSL 0x12 RX data block, address 0xF800, 240 bytes"
std::string Describe(const char* family, std::uint8_t code, const CommandName* known,
                     unsigned address, int addressDigits, std::size_t length) {
  std::string text = std::string(family) + " " + Hex(code, 2);
  if (known == nullptr) return text;
  text.append(" ").append(known->name);
  if (known->fields == kNone) return text;
  text += ", address " + Hex(address, addressDigits);
  if (known->fields == kAddressAndLength) text += ", " + std::to_string(length) + " bytes";
  return text;
}

unsigned Word(std::span<const std::uint8_t> f, std::size_t at) { return f[at] | (f[at + 1] << 8); }

// 80 CMD L1 L1 AL AH LL LH ... CKL CKH
bool IsClassic(std::span<const std::uint8_t> f) {
  return f.size() >= 8 && f[0] == classic::kHeader && f[2] == f[3] && f.size() == f[2] + 6u &&
         classic::ChecksumMatches(f);
}

// 80 NL NH core CKL CKH
bool IsBsl5xx(std::span<const std::uint8_t> f) {
  return f.size() >= 6 && f[0] == bsl5xx::kHeader && f.size() == Word(f, 1) + 5u &&
         bsl5xx::CrcMatches(f);
}

bool IsXmodemBlock(std::span<const std::uint8_t> f) {
  const std::size_t data = f.empty() ? 0 : f[0] == kSoh ? 128 : f[0] == kStx ? 1024 : 0;
  return data > 0 && f.size() == data + kXmodemOverhead &&
         f[2] == static_cast<std::uint8_t>(0xFF - f[1]);
}

bool IsWinCeData(std::span<const std::uint8_t> f) {
  const std::string_view text(reinterpret_cast<const char*>(f.data()), f.size());
  return text.starts_with("D.") && text.find('#') != std::string_view::npos;
}

}  // namespace

std::string SummariseFrame(std::span<const std::uint8_t> f) {
  if (IsClassic(f))
    return Describe("BSL", f[1], Find(f[1], kClassicNames), Word(f, 4), 4, Word(f, 6));
  if (IsBsl5xx(f)) {
    const std::size_t core = Word(f, 1);
    const CommandName* known = Find(f[3], kBsl5xxNames);
    // A command without data leaves its address out of the frame.
    if (core < 4)
      return "BSL5 " + Hex(f[3], 2) + (known ? std::string(" ") + known->name : std::string());
    return Describe("BSL5", f[3], known, f[4] | (f[5] << 8) | (f[6] << 16), 6, core - 4);
  }
  if (IsXmodemBlock(f))
    return "XMODEM block " + std::to_string(f[1]) + ", " + std::to_string(f.size() - 5) + " bytes";
  if (f.size() == 1 && f[0] == kEot) return "XMODEM end of transmission";
  if (f.size() == 1) return "byte " + Hex(f[0], 2);
  if (IsWinCeData(f)) return "WinCE data, " + std::to_string(f.size()) + " bytes with header";
  return std::to_string(f.size()) + " bytes";
}

}  // namespace loaders
