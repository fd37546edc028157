#include "loaders/ti_txt_image.h"

#include <algorithm>

namespace loaders {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Builds the blocks line by line; owns the rules of closing and opening blocks.
class BlockBuilder {
 public:
  BlockBuilder(const TiTxtLimits& limits, TiTxtImage& image) : limits_(limits), image_(image) {}

  TiTxtError AddressLine(std::string_view digits) {
    digits = Trim(digits);
    if (digits.empty() || digits.size() > 8) return TiTxtError::BadCharacter;
    std::uint32_t address = 0;
    for (char c : digits) {
      const int d = HexDigit(c);
      if (d < 0) return TiTxtError::BadCharacter;
      address = address * 16 + static_cast<std::uint32_t>(d);
    }
    if (address > limits_.maxAddress) return TiTxtError::AddressTooHigh;
    if (open_) PadOdd(0xFF);
    // A block that received no data is reused for the new address.
    if (!open_ || Current().count > 0) {
      if (TiTxtError e = Open(); e != TiTxtError::None) return e;
    }
    Current().address = address;
    Current().count = 0;
    lines_ = 0;
    return TiTxtError::None;
  }

  TiTxtError DataLine(std::string_view line) {
    if (!open_) return TiTxtError::DataWithoutAddress;
    std::uint8_t bytes[kMaxBytesPerLine];
    int n = 0;
    std::size_t i = 0;
    while (i < line.size()) {
      if (IsBlank(line[i])) {
        ++i;
        continue;
      }
      if (i + 1 >= line.size()) return TiTxtError::BadCharacter;
      const int hi = HexDigit(line[i]);
      const int lo = HexDigit(line[i + 1]);
      if (hi < 0 || lo < 0 || (i + 2 < line.size() && !IsBlank(line[i + 2]))) return TiTxtError::BadCharacter;
      if (n == kMaxBytesPerLine) return TiTxtError::LineTooLong;
      bytes[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
      i += 2;
    }
    if (Current().End() + static_cast<std::uint32_t>(n) - 1 > limits_.maxAddress && n > 0) {
      return TiTxtError::AddressTooHigh;
    }
    for (int k = 0; k < n; ++k) Current().data[Current().count++] = bytes[k];
    if (++lines_ == kLinesPerBlock) return NextBlockAfterFullLines();
    return TiTxtError::None;
  }

  TiTxtError Finish() {
    if (!open_) return TiTxtError::NoData;
    if (Current().count == 0) image_.blocks.pop_back();
    if (image_.blocks.empty()) return TiTxtError::NoData;
    open_ = false;
    PadLast();
    return TiTxtError::None;
  }

 private:
  ImageBlock& Current() { return image_.blocks.back(); }

  TiTxtError Open() {
    if (image_.blocks.size() >= limits_.maxBlocks) return TiTxtError::TooManyBlocks;
    image_.blocks.emplace_back();
    open_ = true;
    return TiTxtError::None;
  }

  void PadOdd(std::uint8_t value) {
    ImageBlock& b = Current();
    if (b.count % 2 != 0) b.data[b.count++] = value;
  }

  void PadLast() {
    ImageBlock& b = image_.blocks.back();
    if (b.count % 2 != 0) b.data[b.count++] = 0xFF;
  }

  // A full block ends; an odd byte moves on so that no byte changes address.
  TiTxtError NextBlockAfterFullLines() {
    ImageBlock& full = Current();
    const bool carry = full.count % 2 != 0;
    const std::uint8_t carried = carry ? full.data[full.count - 1] : 0;
    if (carry) --full.count;
    const std::uint32_t next = full.End();
    if (TiTxtError e = Open(); e != TiTxtError::None) return e;
    Current().address = next;
    if (carry) Current().data[Current().count++] = carried;
    lines_ = 0;
    return TiTxtError::None;
  }

  const TiTxtLimits& limits_;
  TiTxtImage& image_;
  bool open_ = false;
  int lines_ = 0;
};

TiTxtResult Fail(TiTxtError error, int line, TiTxtImage& image) {
  image = TiTxtImage();
  return {error, line};
}

// The 64 KB boundary: the part of a block from 0x10000 on becomes a block of its own.
TiTxtError SplitAt64K(TiTxtImage& image, std::size_t maxBlocks) {
  for (std::size_t i = 0; i < image.blocks.size(); ++i) {
    ImageBlock& b = image.blocks[i];
    if (b.address >= 0x10000 || b.End() <= 0x10000) continue;
    if (image.blocks.size() >= maxBlocks) return TiTxtError::TooManyBlocks;
    ImageBlock upper;
    upper.address = 0x10000;
    const std::uint16_t keep = static_cast<std::uint16_t>(0x10000 - b.address);
    upper.count = static_cast<std::uint16_t>(b.count - keep);
    std::copy_n(b.data.begin() + keep, upper.count, upper.data.begin());
    b.count = keep;
    image.blocks.insert(image.blocks.begin() + static_cast<std::ptrdiff_t>(i) + 1, upper);
  }
  return TiTxtError::None;
}

bool ReachesVectors(const ImageBlock& b) { return b.address < 0x10000 && b.End() >= 0xFE00; }

}  // namespace

TiTxtResult ReadTiTxt(std::string_view text, const TiTxtLimits& limits, TiTxtImage& image) {
  image = TiTxtImage();
  const std::size_t q = text.find('q');
  if (q == std::string_view::npos) return Fail(TiTxtError::NoEnd, 0, image);
  text = text.substr(0, q);
  BlockBuilder builder(limits, image);
  int lineNumber = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++lineNumber;
    if (line.empty()) continue;
    const TiTxtError e = line.front() == '@' ? builder.AddressLine(line.substr(1)) : builder.DataLine(line);
    if (e != TiTxtError::None) return Fail(e, lineNumber, image);
  }
  if (TiTxtError e = builder.Finish(); e != TiTxtError::None) return Fail(e, 0, image);
  return {};
}

TiTxtResult ReadClassicImage(std::string_view text, std::size_t maxBlocks, TiTxtImage& image) {
  TiTxtResult result = ReadTiTxt(text, {maxBlocks, 0x1FFFF}, image);
  if (!result.Ok()) return result;
  if (TiTxtError e = SplitAt64K(image, maxBlocks); e != TiTxtError::None) return Fail(e, 0, image);
  auto& blocks = image.blocks;
  const auto upper = std::find_if(blocks.begin(), blocks.end(), [](const ImageBlock& b) { return b.address >= 0x10000; });
  if (upper == blocks.end()) return {};
  if (std::any_of(upper, blocks.end(), [](const ImageBlock& b) { return b.address < 0x10000; })) {
    return Fail(TiTxtError::LowAfterHigh, 0, image);
  }
  image.upperStart = static_cast<std::int32_t>(upper - blocks.begin());
  if (image.upperStart == 0) return {};
  // The vector blocks go last, behind a marker, so that the vector segment is
  // erased and programmed after the upper flash (and only once).
  std::vector<ImageBlock> vectors;
  std::vector<ImageBlock> others;
  for (std::int32_t i = 0; i < image.LastIndex() + 1; ++i) {
    const bool moves = i < image.upperStart && ReachesVectors(blocks[static_cast<std::size_t>(i)]);
    (moves ? vectors : others).push_back(blocks[static_cast<std::size_t>(i)]);
  }
  if (vectors.empty()) return {};
  if (others.size() + 1 + vectors.size() > maxBlocks) return Fail(TiTxtError::TooManyBlocks, 0, image);
  image.upperStart -= static_cast<std::int32_t>(vectors.size());
  others.emplace_back();  // the marker: address 0, no data
  others.insert(others.end(), vectors.begin(), vectors.end());
  blocks = std::move(others);
  return {};
}

TiTxtResult Read5xxImage(std::string_view text, std::size_t maxBlocks, TiTxtImage& image) {
  TiTxtResult result = ReadTiTxt(text, {maxBlocks, 0xFFFFFF}, image);
  if (!result.Ok()) return result;
  auto& blocks = image.blocks;
  const auto first = std::find_if(blocks.begin(), blocks.end(), ReachesVectors);
  if (first == blocks.end()) return {};
  image.firstVectorBlock = static_cast<std::int32_t>(first - blocks.begin());
  image.vectorBlockCount = static_cast<std::int32_t>(std::count_if(blocks.begin(), blocks.end(), ReachesVectors));
  if (image.firstVectorBlock > 0) {
    std::stable_partition(blocks.begin(), blocks.end(), [](const ImageBlock& b) { return !ReachesVectors(b); });
  }
  return {};
}

}  // namespace loaders
