#include "sim/standins/pic32_link.h"

#include <algorithm>

namespace standin {
namespace {

constexpr std::uint8_t kSoh = 0x01;
constexpr std::uint8_t kEot = 0x04;
constexpr std::uint8_t kDle = 0x10;
constexpr int kAnswerMs = 1000;
constexpr int kEraseMs = 10000;
constexpr std::size_t kMaxAnswer = 64;

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

std::uint16_t Pic32Crc(std::span<const std::uint8_t> bytes) {
  std::uint16_t crc = 0;
  for (const std::uint8_t byte : bytes) {
    for (int bit = 7; bit >= 0; --bit) {
      const bool feedback = ((crc >> 15) & 1) != ((byte >> bit) & 1);
      crc = static_cast<std::uint16_t>(crc << 1);
      if (feedback) crc ^= 0x1021;
    }
  }
  return crc;
}

bool Pic32Link::Send(const std::vector<std::uint8_t>& body) {
  const std::uint16_t crc = Pic32Crc(body);
  std::vector<std::uint8_t> content = body;
  content.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  content.push_back(static_cast<std::uint8_t>(crc >> 8));
  std::vector<std::uint8_t> frame{kSoh};
  for (const std::uint8_t byte : content) {
    if (byte == kSoh || byte == kEot || byte == kDle) frame.push_back(kDle);
    frame.push_back(byte);
  }
  frame.push_back(kEot);
  line_.DropInput();
  return line_.Write(frame);
}

// Sends a frame and reads the answer frame; its command must match and its
// CRC fit. `answer` gets the data after the command byte.
LinkResult Pic32Link::Transact(const std::vector<std::uint8_t>& body, int timeoutMs,
                               std::vector<std::uint8_t>& answer) {
  if (!Send(body)) return LinkResult::kNoAnswer;
  std::optional<std::uint8_t> byte;
  do {
    byte = line_.Read(timeoutMs);
  } while (byte && *byte != kSoh);
  if (!byte) return LinkResult::kNoAnswer;
  std::vector<std::uint8_t> content;
  for (bool escaped = false;;) {
    byte = line_.Read(kAnswerMs);
    if (!byte || content.size() > kMaxAnswer) return LinkResult::kNoAnswer;
    if (!escaped && *byte == kDle) {
      escaped = true;
      continue;
    }
    if (!escaped && *byte == kEot) break;
    if (!escaped && *byte == kSoh) return LinkResult::kNoAnswer;
    escaped = false;
    content.push_back(*byte);
  }
  if (content.size() < 3) return LinkResult::kNoAnswer;
  const std::size_t n = content.size() - 2;
  const std::uint16_t crc = Pic32Crc(std::span(content).first(n));
  if (content[n] != (crc & 0xFF) || content[n + 1] != (crc >> 8)) return LinkResult::kNoAnswer;
  if (content[0] != body[0]) return LinkResult::kRefused;
  answer.assign(content.begin() + 1, content.begin() + static_cast<std::ptrdiff_t>(n));
  return LinkResult::kOk;
}

LinkResult Pic32Link::ReadBootInfo(std::uint8_t& major, std::uint8_t& minor) {
  std::vector<std::uint8_t> answer;
  const LinkResult result = Transact({0x01}, kAnswerMs, answer);
  if (result != LinkResult::kOk) return result;
  if (answer.size() != 2) return LinkResult::kRefused;
  major = answer[0];
  minor = answer[1];
  return result;
}

LinkResult Pic32Link::EraseFlash() {
  std::vector<std::uint8_t> answer;
  return Transact({0x02}, kEraseMs, answer);
}

LinkResult Pic32Link::ProgramRecord(const HexRecord& record) {
  std::vector<std::uint8_t> body(record.size() + 1, 0x03);
  std::copy(record.begin(), record.end(), body.begin() + 1);
  std::vector<std::uint8_t> answer;
  return Transact(body, kAnswerMs, answer);
}

LinkResult Pic32Link::ReadCrc(std::uint32_t address, std::uint32_t length, std::uint16_t& crc) {
  std::vector<std::uint8_t> body{0x04};
  PutLe32(body, address);
  PutLe32(body, length);
  std::vector<std::uint8_t> answer;
  const LinkResult result = Transact(body, kAnswerMs, answer);
  if (result != LinkResult::kOk) return result;
  if (answer.size() != 2) return LinkResult::kRefused;
  crc = static_cast<std::uint16_t>(answer[0] | (answer[1] << 8));
  return result;
}

bool Pic32Link::JumpToApplication() { return Send({0x05}); }

}  // namespace standin
