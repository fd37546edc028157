#include "sim/m16_boot_loader.h"

#include <array>

#include "sim/command_table.h"

namespace sim {
namespace {

constexpr std::uint8_t kRequestStart = 0x5A;
constexpr std::uint8_t kResponseStart = 0xA5;
constexpr std::size_t kMaxPayload = 131;
constexpr std::size_t kAddressBytes = 3;
constexpr std::size_t kMaxData = 128;
constexpr std::uint8_t kEraseKey[] = {0x55, 0xAA};
constexpr SimTick kBlockEraseMs = 40;

std::uint8_t Sum(const std::vector<std::uint8_t>& bytes, std::size_t from) {
  std::uint8_t sum = 0;
  for (std::size_t i = from; i < bytes.size(); ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
  return sum;
}

}  // namespace

struct M16BootLoader::Command {
  std::uint8_t code;
  const char* name;  // fault target
  void (M16BootLoader::*handler)(FaultKind);
};

const M16BootLoader::Command* M16BootLoader::FindCommand(std::uint8_t code) {
  static constexpr std::array<Command, 6> kCommands{{
      {0x01, "connect", &M16BootLoader::Connect},
      {0x02, "erase", &M16BootLoader::Erase},
      {0x03, "write", &M16BootLoader::Write},
      {0x04, "read", &M16BootLoader::Read},
      {0x05, "validate", &M16BootLoader::Validate},
      {0x06, "start", &M16BootLoader::Start},
  }};
  return FindRow(kCommands, code);
}

M16BootLoader::M16BootLoader(Host& host, FlashModel& memory, int component)
    : host_(host), memory_(memory), component_(component) {}

void M16BootLoader::Receive(std::uint8_t byte) {
  if (frame_.empty() && byte != kRequestStart) {
    ++host_.State().counters.badFrames;
    host_.Changed();
    return;
  }
  frame_.push_back(byte);
  if (frame_.size() == 3 && frame_[2] > kMaxPayload) {
    frame_.clear();
    ++host_.State().counters.badFrames;
    return Respond(Status::kBadParameter, {}, FaultKind::kNone);
  }
  if (frame_.size() >= 4 && frame_.size() == frame_[2] + 4u) {
    HandleFrame();
    frame_.clear();
  }
}

void M16BootLoader::HandleFrame() {
  if (Sum(frame_, 1) != 0) {
    ++host_.State().counters.badFrames;
    return Respond(Status::kChecksum, {}, FaultKind::kNone);
  }
  ++host_.State().counters.frames;
  payload_.assign(frame_.begin() + 3, frame_.end() - 1);
  const Command* command = FindCommand(frame_[1]);
  const FaultKind fault = host_.Fault(command != nullptr ? command->name : "unknown");
  host_.Changed();
  if (fault == FaultKind::kSilence) return;
  if (fault == FaultKind::kNak) return Respond(Status::kChecksum, {}, FaultKind::kNone);
  if (fault == FaultKind::kGarbage) return host_.Send(GarbageBytes(4));
  if (command == nullptr) return Respond(Status::kUnknown, {}, fault);
  if (!connected_ && command->code != 0x01) return Respond(Status::kSequence, {}, fault);
  (this->*command->handler)(fault);
}

void M16BootLoader::Respond(Status status, std::vector<std::uint8_t> payload, FaultKind fault,
                            SimTick delayMs) {
  if (status == Status::kDone) {
    ++host_.State().counters.acks;
  } else {
    ++host_.State().counters.naks;
  }
  if (fault == FaultKind::kNoAck) return;
  if (fault == FaultKind::kCorrupt && !payload.empty()) payload.back() ^= 0x01;
  std::vector<std::uint8_t> out{kResponseStart, static_cast<std::uint8_t>(status),
                                static_cast<std::uint8_t>(payload.size())};
  out.insert(out.end(), payload.begin(), payload.end());
  out.push_back(static_cast<std::uint8_t>(-Sum(out, 1)));
  if (fault == FaultKind::kBadSum) out.back() ^= 0xFF;
  host_.Send(out, delayMs);
}

std::uint32_t M16BootLoader::Address() const {
  return payload_[0] | (payload_[1] << 8) | (static_cast<std::uint32_t>(payload_[2]) << 16);
}

bool M16BootLoader::InFlash(std::uint32_t address, std::size_t count) const {
  const MemoryRange& main = memory_.Part().main;
  return address >= main.start && address + count <= main.end;
}

void M16BootLoader::Connect(FaultKind fault) {
  if (!payload_.empty()) return Respond(Status::kBadParameter, {}, fault);
  connected_ = true;
  erased_ = false;
  valid_ = false;
  const MemoryRange& main = memory_.Part().main;
  const std::uint16_t version = memory_.Part().bslVersion;
  Respond(Status::kDone,
          {static_cast<std::uint8_t>(version >> 8), static_cast<std::uint8_t>(version),
           static_cast<std::uint8_t>(main.start), static_cast<std::uint8_t>(main.start >> 8),
           static_cast<std::uint8_t>(main.start >> 16), static_cast<std::uint8_t>(main.end),
           static_cast<std::uint8_t>(main.end >> 8), static_cast<std::uint8_t>(main.end >> 16)},
          fault);
}

void M16BootLoader::Erase(FaultKind fault) {
  if (payload_.size() != 2 || payload_[0] != kEraseKey[0] || payload_[1] != kEraseKey[1]) {
    return Respond(Status::kBadParameter, {}, fault);
  }
  const MemoryRange& main = memory_.Part().main;
  memory_.EraseMain();
  ++host_.State().counters.erases;
  erased_ = true;
  valid_ = false;
  Respond(Status::kDone, {}, fault, kBlockEraseMs * ((main.end - main.start) / main.segment));
}

void M16BootLoader::Write(FaultKind fault) {
  const std::size_t count = payload_.size() - std::min(payload_.size(), kAddressBytes);
  if (payload_.size() <= kAddressBytes || count > kMaxData)
    return Respond(Status::kBadParameter, {}, fault);
  const std::uint32_t address = Address();
  if (address % 2 != 0 || count % 2 != 0 || !InFlash(address, count)) {
    return Respond(Status::kBadParameter, {}, fault);
  }
  if (!erased_) return Respond(Status::kSequence, {}, fault);
  valid_ = false;
  ++host_.State().counters.programs;
  const auto data = std::span(payload_).subspan(kAddressBytes);
  if (memory_.Write(address, data) != WriteResult::kOk)
    return Respond(Status::kWriteCheck, {}, fault);
  Respond(Status::kDone, {}, fault);
}

void M16BootLoader::Read(FaultKind fault) {
  if (payload_.size() != kAddressBytes + 1) return Respond(Status::kBadParameter, {}, fault);
  const std::uint32_t address = Address();
  const std::size_t count = payload_[3];
  if (count == 0 || count > kMaxData || !InFlash(address, count)) {
    return Respond(Status::kBadParameter, {}, fault);
  }
  Respond(Status::kDone, memory_.Read(address, count), fault);
}

void M16BootLoader::Validate(FaultKind fault) {
  if (!payload_.empty()) return Respond(Status::kBadParameter, {}, fault);
  if (!erased_) return Respond(Status::kSequence, {}, fault);
  valid_ = true;
  Respond(Status::kDone, {}, fault);
}

void M16BootLoader::Start(FaultKind fault) {
  if (!payload_.empty()) return Respond(Status::kBadParameter, {}, fault);
  if (!valid_) return Respond(Status::kSequence, {}, fault);
  Respond(Status::kDone, {}, fault);
  const std::uint32_t entry = memory_.ReadWord(kResetVectorAddress);
  host_.State().loadPc = entry;
  host_.LoadPc(component_, entry);
}

}  // namespace sim
