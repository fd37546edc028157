#include "sim/bsl_classic.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "sim/checksums.h"
#include "sim/command_table.h"

namespace sim {
namespace {

constexpr std::uint8_t kHeader = 0x80;
constexpr std::size_t kMaxL1 = 250;
constexpr std::uint8_t kEraseKey = 0xA5;
// The ROM keeps its variables and stack below this RAM address; loading code
// there overwrites the running boot loader.
constexpr std::uint32_t kFirstFreeRam = 0x0220;
// 2xx parts: a zero word here keeps the flash when a wrong password arrives.
constexpr std::uint32_t kBslKeyAddress = 0xFFDE;
constexpr std::uint32_t kIdentityAddress = 0x0FF0;
constexpr std::size_t kIdentitySize = 16;

}  // namespace

struct ClassicBsl::Command {
  std::uint8_t code;
  const char* name;  // fault target
  bool needsPassword;
  Outcome (ClassicBsl::*handler)(FaultKind);
};

const ClassicBsl::Command* ClassicBsl::FindCommand(std::uint8_t code) {
  static constexpr std::array<Command, 10> kCommands{{
      {0x10, "password", false, &ClassicBsl::RxPassword},
      {0x12, "rx", true, &ClassicBsl::RxDataBlock},
      {0x14, "tx", true, &ClassicBsl::TxDataBlock},
      {0x16, "erase", true, &ClassicBsl::EraseSegment},
      {0x18, "mass-erase", false, &ClassicBsl::MassErase},
      {0x1A, "loadpc", true, &ClassicBsl::LoadPc},
      {0x1C, "erase-check", true, &ClassicBsl::EraseCheck},
      {0x1E, "version", false, &ClassicBsl::TxVersion},
      {0x20, "baud", true, &ClassicBsl::ChangeBaud},
      {0x21, "offset", true, &ClassicBsl::SetOffset},
  }};
  return FindRow(kCommands, code);
}

ClassicBsl::ClassicBsl(Host& host, FlashModel& memory, int component)
    : host_(host), memory_(memory), component_(component) {}

void ClassicBsl::Receive(std::uint8_t byte) {
  switch (phase_) {
    case Phase::kIdle:
      if (byte != kHeader) return;  // the loader ignores everything before a sync
      {
        const FaultKind fault = host_.Fault("sync");
        if (fault == FaultKind::kSilence) return;
        if (fault == FaultKind::kNak) return SendNak();
        SendAck(fault);
      }
      phase_ = Phase::kSynced;
      return;
    case Phase::kSynced:
      if (byte != kHeader) {
        phase_ = Phase::kIdle;
        return SendNak();
      }
      frame_.assign(1, byte);
      phase_ = Phase::kFrame;
      return;
    case Phase::kFrame:
      ReceiveFrameByte(byte);
      return;
  }
}

void ClassicBsl::ReceiveFrameByte(std::uint8_t byte) {
  if (frame_.size() == 1 && byte == kHeader) {
    // Two 0x80 in a row: the first was a repeated sync whose answer the host missed.
    SendAck(FaultKind::kNone);
    return;
  }
  frame_.push_back(byte);
  if (frame_.size() == 4) {
    const std::uint8_t l1 = frame_[2];
    if (l1 != frame_[3] || l1 % 2 != 0 || l1 < 4 || l1 > kMaxL1) {
      ++host_.State().counters.badFrames;
      phase_ = Phase::kIdle;
      return SendNak();
    }
  }
  if (frame_.size() >= 4 && frame_.size() == static_cast<std::size_t>(frame_[2]) + 6) {
    phase_ = Phase::kIdle;  // every frame needs a fresh sync
    HandleFrame();
  }
}

void ClassicBsl::HandleFrame() {
  const std::size_t body = frame_.size() - 2;
  const std::uint16_t sum = ClassicChecksum(std::span(frame_).first(body));
  if (frame_[body] != (sum & 0xFF) || frame_[body + 1] != (sum >> 8)) {
    ++host_.State().counters.badFrames;
    return SendNak();
  }
  ++host_.State().counters.frames;
  const Command* command = FindCommand(frame_[1]);
  if (command == nullptr) return SendNak();
  const FaultKind fault = host_.Fault(command->name);
  if (fault == FaultKind::kSilence) return;
  if (fault == FaultKind::kNak) return SendNak();
  if (fault == FaultKind::kGarbage) return host_.Send(GarbageBytes(4));
  if (command->needsPassword && !unlocked_) return SendNak();
  const Outcome outcome = (this->*command->handler)(fault);
  host_.Changed();
  if (outcome == Outcome::kAck) SendAck(fault);
  if (outcome == Outcome::kNak) SendNak();
}

void ClassicBsl::SendAck(FaultKind fault) {
  if (fault == FaultKind::kNoAck) return;
  if (fault == FaultKind::kGarbage) return host_.Send(GarbageBytes(1));
  const std::uint8_t ack = kAck;
  ++host_.State().counters.acks;
  host_.Send(std::span(&ack, 1));
}

void ClassicBsl::SendNak() {
  const std::uint8_t nak = kNak;
  ++host_.State().counters.naks;
  host_.Send(std::span(&nak, 1));
}

void ClassicBsl::SendDataFrame(std::vector<std::uint8_t> data, FaultKind fault) {
  if (fault == FaultKind::kNoAck) return;
  if (fault == FaultKind::kCorrupt && !data.empty()) data[data.size() / 2] ^= 0x01;
  const auto n = static_cast<std::uint8_t>(data.size());
  std::vector<std::uint8_t> out{kHeader, 0x00, n, n};
  out.insert(out.end(), data.begin(), data.end());
  std::uint16_t sum = ClassicChecksum(out);
  if (fault == FaultKind::kBadSum) sum ^= 0x00FF;
  out.push_back(static_cast<std::uint8_t>(sum));
  out.push_back(static_cast<std::uint8_t>(sum >> 8));
  host_.Send(out);
}

std::uint32_t ClassicBsl::Address() const {
  return (offset_ << 16) | frame_[4] | (static_cast<std::uint32_t>(frame_[5]) << 8);
}

std::uint16_t ClassicBsl::LengthField() const { return static_cast<std::uint16_t>(frame_[6] | (frame_[7] << 8)); }

ClassicBsl::Outcome ClassicBsl::RxPassword(FaultKind) {
  if (frame_[2] != 0x24) return Outcome::kNak;
  const std::vector<std::uint8_t> table = memory_.Read(kVectorTableAddress, 32);
  if (std::equal(table.begin(), table.end(), frame_.begin() + 8)) {
    unlocked_ = true;
    return Outcome::kAck;
  }
  if (Is2x() && memory_.ReadWord(kBslKeyAddress) != 0x0000) {
    memory_.EraseMain();
    host_.FlashBusy(memory_.Part().flash.massEraseMicros);
    ++host_.State().counters.erases;
  }
  return Outcome::kNak;
}

ClassicBsl::Outcome ClassicBsl::RxDataBlock(FaultKind) {
  const std::uint32_t address = Address();
  const std::uint16_t count = LengthField();
  if (count + 4u != frame_[2] || address % 2 != 0) return Outcome::kNak;
  if (memory_.IsRam(address) && address < kFirstFreeRam) return Outcome::kNak;
  patchArmed_ = false;
  const WriteResult result = memory_.Write(address, std::span(frame_).subspan(8, count));
  host_.FlashBusy(ProgramMicros(memory_.Part(), address, count));
  ++host_.State().counters.programs;
  if (result == WriteResult::kNotWritable) return Outcome::kNak;
  // Versions from 1.60 on read each written word back at once; older ones
  // leave a failed write to the host's own read-back.
  if (result == WriteResult::kVerifyFailed && memory_.Part().bslVersion >= 0x0160) return Outcome::kNak;
  return Outcome::kAck;
}

ClassicBsl::Outcome ClassicBsl::TxDataBlock(FaultKind fault) {
  const std::uint32_t address = Address();
  const std::uint16_t count = LengthField();
  if (count == 0 || count > kMaxL1 || count % 2 != 0) return Outcome::kNak;
  std::vector<std::uint8_t> data = memory_.Read(address, count);
  const bool unpatched = memory_.Part().bslVersion == 0x0110 && !patchArmed_;
  patchArmed_ = false;
  if (unpatched && memory_.IsFlash(address)) {
    // The 1.10 ROM fetches flash by words but sends the low byte twice.
    for (std::size_t i = 1; i < data.size(); i += 2) data[i] = data[i - 1];
  }
  SendDataFrame(std::move(data), fault);
  return Outcome::kAnswered;
}

ClassicBsl::Outcome ClassicBsl::EraseSegment(FaultKind) {
  if (frame_[7] != kEraseKey || (frame_[6] != 0x02 && frame_[6] != 0x04)) return Outcome::kNak;
  const std::uint32_t address = Address();
  const FlashTiming& timing = memory_.Part().flash;
  if (frame_[6] == 0x04 && memory_.Part().main.Contains(address)) {
    memory_.EraseMain();
    host_.FlashBusy(timing.massEraseMicros);
  } else if (frame_[6] == 0x04) {
    const MemoryRange& info = memory_.Part().info;
    for (std::uint32_t at = info.start; at < info.end; at += info.segment) memory_.EraseSegment(at);
    host_.FlashBusy(timing.massEraseMicros);
  } else if (memory_.EraseSegment(address)) {
    host_.FlashBusy(timing.segmentEraseMicros);
  } else {
    return Outcome::kAck;  // the dummy write to a non-flash address starts no erase
  }
  ++host_.State().counters.erases;
  return Outcome::kAck;
}

ClassicBsl::Outcome ClassicBsl::MassErase(FaultKind) {
  if (frame_[6] != 0x06 || frame_[7] != kEraseKey) return Outcome::kNak;
  host_.FlashBusy(memory_.Part().flash.massEraseMicros);
  memory_.EraseMain();
  const MemoryRange& info = memory_.Part().info;
  for (std::uint32_t at = info.start; at < info.end; at += info.segment) memory_.EraseSegment(at);
  ++host_.State().counters.erases;
  return Outcome::kAck;
}

ClassicBsl::Outcome ClassicBsl::EraseCheck(FaultKind) {
  if (memory_.Part().bslVersion < 0x0150) return Outcome::kNak;
  const std::vector<std::uint8_t> data = memory_.Read(Address(), LengthField());
  const bool erased = std::all_of(data.begin(), data.end(), [](std::uint8_t b) { return b == 0xFF; });
  return erased ? Outcome::kAck : Outcome::kNak;
}

ClassicBsl::Outcome ClassicBsl::LoadPc(FaultKind fault) {
  const std::uint32_t address = Address();
  host_.State().loadPc = address;
  SendAck(fault);
  if (memory_.IsRam(address) && memory_.RamWritten(address)) {
    // Code loaded into RAM runs and returns into the boot loader, which then
    // carries out the next read with the corrected routine.
    patchArmed_ = true;
    return Outcome::kAnswered;
  }
  host_.LoadPc(component_, address);
  return Outcome::kAnswered;
}

bool ClassicBsl::SupportsTxVersion() const {
  const std::uint16_t version = memory_.Part().bslVersion;
  return version >= 0x0150 && version < 0x0200;
}

ClassicBsl::Outcome ClassicBsl::TxVersion(FaultKind fault) {
  if (!SupportsTxVersion()) return Outcome::kNak;
  SendDataFrame(memory_.Read(kIdentityAddress, kIdentitySize), fault);
  return Outcome::kAnswered;
}

// D1 D2 of the baud-rate command for each family's clock module and each
// rate (TI SLAU319, "MSP430 Programming With the Bootloader", Change Baud
// Rate): DCOCTL/BCSCTL1 on 1xx and 2xx, SCFI0/SCFI1 on 4xx.
namespace {
std::optional<std::array<std::uint8_t, 2>> ClockSetting(std::string_view part, std::uint8_t rateIndex) {
  static constexpr std::array<std::array<std::uint8_t, 2>, 3> k1xx{{{0x80, 0x85}, {0xE0, 0x86}, {0xE0, 0x87}}};
  static constexpr std::array<std::array<std::uint8_t, 2>, 3> k2xx{{{0x80, 0x88}, {0x00, 0x8B}, {0x80, 0x8C}}};
  static constexpr std::array<std::array<std::uint8_t, 2>, 3> k4xx{{{0x00, 0x98}, {0x00, 0xB0}, {0x00, 0xC8}}};
  if (rateIndex >= 3 || part.size() < 2) return std::nullopt;
  switch (part[1]) {  // "f1611" -> '1'
    case '1': return k1xx[rateIndex];
    case '2': return k2xx[rateIndex];
    case '4': return k4xx[rateIndex];
    default: return std::nullopt;
  }
}
}  // namespace

ClassicBsl::Outcome ClassicBsl::ChangeBaud(FaultKind fault) {
  static constexpr std::array<std::uint32_t, 3> kRates{9600, 19200, 38400};
  if (memory_.Part().bslVersion < 0x0160 || frame_[6] >= kRates.size()) return Outcome::kNak;
  SendAck(fault);  // still at the old rate
  line_.baud = kRates[frame_[6]];
  const auto clock = ClockSetting(memory_.Part().name, frame_[6]);
  if (!clock || (*clock)[0] != frame_[4] || (*clock)[1] != frame_[5]) {
    // The processor now runs at a clock its UART was not set up for: from
    // here on neither side understands the other at any rate.
    line_.baud = kNoRate;
  }
  return Outcome::kAnswered;
}

ClassicBsl::Outcome ClassicBsl::SetOffset(FaultKind) {
  if (memory_.Part().top <= 0x10000) return Outcome::kNak;
  // Only the bits of a 20-bit address count; the rest of the word is ignored.
  offset_ = LengthField() & 0x0F;
  return Outcome::kAck;
}

}  // namespace sim
