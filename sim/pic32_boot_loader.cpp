#include "sim/pic32_boot_loader.h"

#include <array>

#include "sim/command_table.h"

namespace sim {
namespace {

constexpr std::uint8_t kSoh = 0x01;
constexpr std::uint8_t kEot = 0x04;
constexpr std::uint8_t kDle = 0x10;
constexpr std::size_t kMaxContent = 300;
constexpr SimTick kPageEraseMs = 20;

enum RecordType : std::uint8_t {
  kData = 0x00,
  kEndOfFile = 0x01,
  kSegmentAddress = 0x02,
  kLinearAddress = 0x04,
  kStartAddress = 0x05,
};

// CRC-16-CCITT as the loader computes it: polynomial 0x1021, start value 0.
std::uint16_t Crc(std::span<const std::uint8_t> bytes) {
  std::uint16_t crc = 0;
  for (const std::uint8_t byte : bytes) {
    crc ^= static_cast<std::uint16_t>(byte << 8);
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021) : crc << 1;
  }
  return crc;
}

std::uint32_t Le32(std::span<const std::uint8_t> bytes) {
  return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
         (static_cast<std::uint32_t>(bytes[3]) << 24);
}

}  // namespace

struct Pic32BootLoader::Command {
  std::uint8_t code;
  const char* name;  // fault target
  void (Pic32BootLoader::*handler)(FaultKind);
};

const Pic32BootLoader::Command* Pic32BootLoader::FindCommand(std::uint8_t code) {
  static constexpr std::array<Command, 5> kCommands{{
      {0x01, "version", &Pic32BootLoader::BootInfo},
      {0x02, "erase", &Pic32BootLoader::EraseFlash},
      {0x03, "program", &Pic32BootLoader::ProgramFlash},
      {0x04, "crc", &Pic32BootLoader::ReadCrc},
      {0x05, "jump", &Pic32BootLoader::JumpToApplication},
  }};
  return FindRow(kCommands, code);
}

Pic32BootLoader::Pic32BootLoader(Host& host, FlashModel& memory, int component)
    : host_(host), memory_(memory), component_(component) {}

void Pic32BootLoader::Receive(std::uint8_t byte) {
  if (!escaped_ && byte == kSoh) {
    if (inFrame_ && !content_.empty()) ++host_.State().counters.badFrames;  // cut short
    inFrame_ = true;
    content_.clear();
    return;
  }
  if (!inFrame_) {
    ++host_.State().counters.badFrames;
    return;
  }
  if (!escaped_ && byte == kDle) {
    escaped_ = true;
    return;
  }
  if (!escaped_ && byte == kEot) {
    inFrame_ = false;
    HandleFrame();
    return;
  }
  escaped_ = false;
  content_.push_back(byte);
  if (content_.size() > kMaxContent) {
    inFrame_ = false;
    ++host_.State().counters.badFrames;
  }
}

void Pic32BootLoader::HandleFrame() {
  host_.Changed();
  const std::size_t body = content_.size() < 3 ? 0 : content_.size() - 2;
  const std::uint16_t crc = Crc(std::span(content_).first(body));
  if (body == 0 || content_[body] != (crc & 0xFF) || content_[body + 1] != (crc >> 8)) {
    ++host_.State().counters.badFrames;
    return;
  }
  ++host_.State().counters.frames;
  content_.resize(body);
  const Command* command = FindCommand(content_[0]);
  const FaultKind fault = host_.Fault(command != nullptr ? command->name : "unknown");
  if (fault == FaultKind::kSilence || fault == FaultKind::kNak) return;
  if (fault == FaultKind::kGarbage) return host_.Send(GarbageBytes(4));
  if (command == nullptr) return;
  (this->*command->handler)(fault);
}

void Pic32BootLoader::Refuse() { ++host_.State().counters.naks; }

void Pic32BootLoader::Answer(std::vector<std::uint8_t> content, FaultKind fault, SimTick delayMs) {
  ++host_.State().counters.acks;
  if (fault == FaultKind::kNoAck) return;
  if (fault == FaultKind::kCorrupt) content.back() ^= 0x01;
  const std::uint16_t crc = Crc(content);
  content.push_back(static_cast<std::uint8_t>(crc));
  content.push_back(static_cast<std::uint8_t>(crc >> 8));
  if (fault == FaultKind::kBadSum) content.back() ^= 0xFF;
  std::vector<std::uint8_t> out{kSoh};
  for (const std::uint8_t byte : content) {
    if (byte == kSoh || byte == kEot || byte == kDle) out.push_back(kDle);
    out.push_back(byte);
  }
  out.push_back(kEot);
  host_.Send(out, delayMs);
}

void Pic32BootLoader::BootInfo(FaultKind fault) {
  const std::uint16_t version = memory_.Part().bslVersion;
  Answer({0x01, static_cast<std::uint8_t>(version >> 8), static_cast<std::uint8_t>(version)},
         fault);
}

void Pic32BootLoader::EraseFlash(FaultKind fault) {
  const MemoryRange& main = memory_.Part().main;
  memory_.EraseMain();
  ++host_.State().counters.erases;
  Answer({0x02}, fault, kPageEraseMs * ((main.end - main.start) / main.segment));
}

void Pic32BootLoader::ProgramFlash(FaultKind fault) {
  if (!ProgramRecord(std::span(content_).subspan(1))) return Refuse();
  Answer({0x03}, fault);
}

// One binary HEX record: count, address (high, low), type, data, checksum
// that makes the sum of all its bytes zero.
bool Pic32BootLoader::ProgramRecord(std::span<const std::uint8_t> record) {
  if (record.size() < 5 || record.size() != record[0] + 5u) return false;
  std::uint8_t sum = 0;
  for (const std::uint8_t byte : record) sum = static_cast<std::uint8_t>(sum + byte);
  if (sum != 0) return false;
  const std::uint32_t offset = (record[1] << 8) | record[2];
  const auto data = record.subspan(4, record[0]);
  switch (record[3]) {
    case kData: {
      const std::uint32_t address = base_ + offset;
      const MemoryRange& main = memory_.Part().main;
      if (address % 4 != 0 || data.size() % 4 != 0 || address < main.start ||
          address + data.size() > main.end) {
        return false;
      }
      ++host_.State().counters.programs;
      return memory_.Write(address, data) == WriteResult::kOk;
    }
    case kEndOfFile:
    case kStartAddress:
      return true;
    case kSegmentAddress:
      if (data.size() != 2) return false;
      base_ = ((data[0] << 8) | data[1]) << 4;
      return true;
    case kLinearAddress:
      if (data.size() != 2) return false;
      base_ = static_cast<std::uint32_t>((data[0] << 8) | data[1]) << 16;
      return true;
    default:
      return false;
  }
}

void Pic32BootLoader::ReadCrc(FaultKind fault) {
  if (content_.size() != 9) return Refuse();
  const std::uint32_t address = Le32(std::span(content_).subspan(1, 4));
  const std::uint32_t length = Le32(std::span(content_).subspan(5, 4));
  const MemoryRange& main = memory_.Part().main;
  if (address < main.start || address > main.end || length > main.end - address) return Refuse();
  const std::uint16_t crc = Crc(memory_.Read(address, length));
  Answer({0x04, static_cast<std::uint8_t>(crc), static_cast<std::uint8_t>(crc >> 8)}, fault);
}

void Pic32BootLoader::JumpToApplication(FaultKind) {
  const std::uint32_t entry = memory_.ReadWord(kResetVectorAddress);
  host_.State().loadPc = entry;
  host_.LoadPc(component_, entry);
}

}  // namespace sim
