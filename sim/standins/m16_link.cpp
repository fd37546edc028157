#include "sim/standins/m16_link.h"

#include <algorithm>

namespace standin {
namespace {

constexpr std::uint8_t kRequest = 0x5A;
constexpr std::uint8_t kResponse = 0xA5;
constexpr int kAnswerMs = 1000;
constexpr int kEraseMs = 10000;  // the whole application flash
constexpr std::size_t kPiece = 128;

std::vector<std::uint8_t> Address3(std::uint32_t address) {
  return {static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8),
          static_cast<std::uint8_t>(address >> 16)};
}

std::uint32_t Get3(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (static_cast<std::uint32_t>(bytes[at + 2]) << 16);
}

// The block widened with 0xFF to even start and end addresses; programming
// 0xFF leaves erased flash as it is.
Block Even(const Block& block) {
  Block even = block;
  if (even.address % 2 != 0) {
    even.address -= 1;
    even.data.insert(even.data.begin(), 0xFF);
  }
  if (even.data.size() % 2 != 0) even.data.push_back(0xFF);
  return even;
}

}  // namespace

LinkResult M16Link::Transact(std::uint8_t command, const std::vector<std::uint8_t>& payload,
                             int timeoutMs, std::vector<std::uint8_t>* reply) {
  std::vector<std::uint8_t> frame{kRequest, command, static_cast<std::uint8_t>(payload.size())};
  frame.insert(frame.end(), payload.begin(), payload.end());
  std::uint8_t sum = 0;
  for (std::size_t i = 1; i < frame.size(); ++i) sum = static_cast<std::uint8_t>(sum + frame[i]);
  frame.push_back(static_cast<std::uint8_t>(-sum));
  line_.DropInput();
  if (!line_.Write(frame)) return LinkResult::kNoAnswer;

  std::optional<std::uint8_t> byte;
  do {
    byte = line_.Read(timeoutMs);
  } while (byte && *byte != kResponse);
  if (!byte) return LinkResult::kNoAnswer;
  const auto status = line_.Read(kAnswerMs);
  const auto length = line_.Read(kAnswerMs);
  if (!status || !length) return LinkResult::kNoAnswer;
  std::vector<std::uint8_t> body{*status, *length};
  for (int i = 0; i <= *length; ++i) {
    const auto next = line_.Read(kAnswerMs);
    if (!next) return LinkResult::kNoAnswer;
    body.push_back(*next);
  }
  std::uint8_t check = 0;
  for (const std::uint8_t b : body) check = static_cast<std::uint8_t>(check + b);
  if (check != 0) return LinkResult::kNoAnswer;
  status_ = *status;
  if (reply != nullptr) reply->assign(body.begin() + 2, body.end() - 1);
  return status_ == 0 ? LinkResult::kOk : LinkResult::kRefused;
}

LinkResult M16Link::Connect(std::uint32_t& flashStart, std::uint32_t& flashEnd) {
  std::vector<std::uint8_t> info;
  const LinkResult result = Transact(0x01, {}, kAnswerMs, &info);
  if (result != LinkResult::kOk) return result;
  if (info.size() != 8) return LinkResult::kRefused;
  flashStart = Get3(info, 2);
  flashEnd = Get3(info, 5);
  return result;
}

LinkResult M16Link::Erase() { return Transact(0x02, {0x55, 0xAA}, kEraseMs); }

LinkResult M16Link::Write(std::uint32_t address, std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> payload(3 + data.size());
  const std::vector<std::uint8_t> where = Address3(address);
  std::copy(where.begin(), where.end(), payload.begin());
  std::copy(data.begin(), data.end(), payload.begin() + 3);
  return Transact(0x03, payload, kAnswerMs);
}

LinkResult M16Link::Read(std::uint32_t address, std::size_t count,
                         std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> payload = Address3(address);
  payload.push_back(static_cast<std::uint8_t>(count));
  const LinkResult result = Transact(0x04, payload, kAnswerMs, &data);
  return result == LinkResult::kOk && data.size() != count ? LinkResult::kRefused : result;
}

LinkResult M16Link::Validate() { return Transact(0x05, {}, kAnswerMs); }
LinkResult M16Link::Start() { return Transact(0x06, {}, kAnswerMs); }

LinkResult M16Link::Program(const std::vector<Block>& blocks,
                            const std::function<void(int)>& progress) {
  std::size_t total = 0;
  for (const Block& block : blocks) total += block.data.size();
  std::size_t done = 0;
  progress(0);
  for (const Block& original : blocks) {
    const Block block = Even(original);
    for (std::size_t at = 0; at < block.data.size(); at += kPiece) {
      const std::size_t n = std::min(kPiece, block.data.size() - at);
      const auto piece = std::span(block.data).subspan(at, n);
      const std::uint32_t address = block.address + static_cast<std::uint32_t>(at);
      std::vector<std::uint8_t> back;
      LinkResult result = Write(address, piece);
      if (result == LinkResult::kOk) result = Read(address, n, back);
      if (result != LinkResult::kOk) return result;
      if (!std::equal(piece.begin(), piece.end(), back.begin(), back.end()))
        return LinkResult::kRefused;
      done += n;
      progress(static_cast<int>(std::min<std::size_t>(100, done * 100 / total)));
    }
  }
  return LinkResult::kOk;
}

}  // namespace standin
