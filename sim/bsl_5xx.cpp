#include "sim/bsl_5xx.h"

#include <algorithm>
#include <array>

#include "sim/checksums.h"
#include "sim/command_table.h"

namespace sim {
namespace {

constexpr std::uint8_t kHeader = 0x80;
constexpr std::size_t kBufferSize = 260;
constexpr std::uint8_t kErrorHeader = 0x51;
constexpr std::uint8_t kErrorChecksum = 0x52;
constexpr std::uint8_t kErrorEmpty = 0x53;
constexpr std::uint8_t kErrorTooLong = 0x54;
constexpr std::uint8_t kErrorBaud = 0x56;
constexpr std::uint8_t kChangeBaud = 0x52;
constexpr std::uint8_t kDataResponse = 0x3A;
constexpr std::uint8_t kMessageResponse = 0x3B;

}  // namespace

struct Bsl5xx::Command {
  std::uint8_t code;
  const char* name;  // fault target
  bool needsPassword;
  void (Bsl5xx::*handler)(FaultKind);
};

const Bsl5xx::Command* Bsl5xx::FindCommand(std::uint8_t code) {
  static constexpr std::array<Command, 11> kCommands{{
      {0x10, "rx", true, &Bsl5xx::RxDataBlock},
      {0x11, "password", false, &Bsl5xx::RxPassword},
      {0x12, "erase", true, &Bsl5xx::EraseSegment},
      {0x13, "info-lock", true, &Bsl5xx::ToggleInfoLock},
      {0x15, "mass-erase", true, &Bsl5xx::MassErase},
      {0x16, "crc", true, &Bsl5xx::CrcCheck},
      {0x17, "loadpc", true, &Bsl5xx::LoadPc},
      {0x18, "tx", true, &Bsl5xx::TxDataBlock},
      {0x19, "version", false, &Bsl5xx::TxVersion},
      {0x1A, "buffer-size", false, &Bsl5xx::TxBufferSize},
      {0x1B, "rx-fast", true, &Bsl5xx::RxDataBlockFast},
  }};
  return FindRow(kCommands, code);
}

Bsl5xx::Bsl5xx(Host& host, FlashModel& memory, int component)
    : host_(host), memory_(memory), component_(component) {}

void Bsl5xx::Receive(std::uint8_t byte) {
  if (frame_.empty() && byte != kHeader) {
    ++host_.State().counters.badFrames;
    return SendError(kErrorHeader);
  }
  frame_.push_back(byte);
  if (frame_.size() < 3) return;
  const std::size_t length = frame_[1] | (frame_[2] << 8);
  if (length == 0 || length > kBufferSize) {
    frame_.clear();
    ++host_.State().counters.badFrames;
    return SendError(length == 0 ? kErrorEmpty : kErrorTooLong);
  }
  if (frame_.size() == length + 5) {
    HandleFrame();
    frame_.clear();
  }
}

std::span<const std::uint8_t> Bsl5xx::Core() const { return std::span(frame_).subspan(3, frame_.size() - 5); }

void Bsl5xx::HandleFrame() {
  const std::uint16_t crc = Crc16Ccitt(Core());
  if (frame_[frame_.size() - 2] != (crc & 0xFF) || frame_.back() != (crc >> 8)) {
    ++host_.State().counters.badFrames;
    return SendError(kErrorChecksum);
  }
  ++host_.State().counters.frames;
  const std::uint8_t code = Core()[0];
  const Command* command = FindCommand(code);
  const FaultKind fault = host_.Fault(code == kChangeBaud ? "baud" : command ? command->name : "unknown");
  if (fault == FaultKind::kSilence) return;
  if (fault == FaultKind::kNak) return SendError(kErrorChecksum);
  if (fault == FaultKind::kGarbage) return host_.Send(GarbageBytes(4));
  HandleCore(fault);
  host_.Changed();
}

void Bsl5xx::HandleCore(FaultKind fault) {
  const std::uint8_t code = Core()[0];
  if (code == kChangeBaud) {
    static constexpr std::array<std::uint32_t, 5> kRates{9600, 19200, 38400, 57600, 115200};
    const std::uint8_t rate = Core().size() == 2 ? Core()[1] : 0;
    if (rate < 2 || rate - 2u >= kRates.size()) return SendError(kErrorBaud);
    if (fault != FaultKind::kNoAck) SendByte(kAck);
    line_.baud = kRates[rate - 2u];
    return;
  }
  if (fault != FaultKind::kNoAck) SendByte(kAck);
  const Command* command = FindCommand(code);
  if (command == nullptr) return SendMessage(Message::kUnknownCommand, fault);
  if (command->needsPassword && !unlocked_) return SendMessage(Message::kLocked, fault);
  (this->*command->handler)(fault);
}

void Bsl5xx::SendByte(std::uint8_t byte) {
  ++host_.State().counters.acks;
  host_.Send(std::span(&byte, 1));
}

void Bsl5xx::SendError(std::uint8_t code) {
  ++host_.State().counters.naks;
  host_.Send(std::span(&code, 1));
}

void Bsl5xx::SendResponse(std::vector<std::uint8_t> core, FaultKind fault) {
  std::vector<std::uint8_t> out{kHeader, static_cast<std::uint8_t>(core.size()),
                                static_cast<std::uint8_t>(core.size() >> 8)};
  out.insert(out.end(), core.begin(), core.end());
  std::uint16_t crc = Crc16Ccitt(core);
  if (fault == FaultKind::kBadSum) crc ^= 0x00FF;
  out.push_back(static_cast<std::uint8_t>(crc));
  out.push_back(static_cast<std::uint8_t>(crc >> 8));
  host_.Send(out);
}

void Bsl5xx::SendMessage(Message message, FaultKind fault) {
  if (message != Message::kDone) ++host_.State().counters.naks;
  SendResponse({kMessageResponse, static_cast<std::uint8_t>(message)}, fault);
}

void Bsl5xx::SendData(std::vector<std::uint8_t> data, FaultKind fault) {
  if (fault == FaultKind::kCorrupt && !data.empty()) data[data.size() / 2] ^= 0x01;
  data.insert(data.begin(), kDataResponse);
  SendResponse(std::move(data), fault);
}

std::uint32_t Bsl5xx::Address() const {
  const auto core = Core();
  if (core.size() < 4) return 0;
  return core[1] | (core[2] << 8) | (static_cast<std::uint32_t>(core[3]) << 16);
}

std::uint16_t Bsl5xx::LengthAfterAddress() const {
  const auto core = Core();
  return core.size() < 6 ? 0 : static_cast<std::uint16_t>(core[4] | (core[5] << 8));
}

void Bsl5xx::RxDataBlock(FaultKind fault) {
  if (Core().size() < 5) return SendMessage(Message::kUnknownCommand, fault);
  const WriteResult result = memory_.Write(Address(), Core().subspan(4));
  host_.FlashBusy(ProgramMicros(memory_.Part(), Address(), Core().size() - 4));
  ++host_.State().counters.programs;
  SendMessage(result == WriteResult::kOk ? Message::kDone : Message::kWriteCheckFailed, fault);
}

void Bsl5xx::RxDataBlockFast(FaultKind) {
  if (Core().size() < 5) return;
  memory_.Write(Address(), Core().subspan(4));
  host_.FlashBusy(ProgramMicros(memory_.Part(), Address(), Core().size() - 4));
  ++host_.State().counters.programs;
}

void Bsl5xx::RxPassword(FaultKind fault) {
  const std::vector<std::uint8_t> table = memory_.Read(kVectorTableAddress, 32);
  const auto given = Core().subspan(1);
  if (given.size() == table.size() && std::equal(table.begin(), table.end(), given.begin())) {
    unlocked_ = true;
    return SendMessage(Message::kDone, fault);
  }
  // A wrong password costs the application: the chip erases its main memory.
  unlocked_ = false;
  memory_.EraseMain();
  ++host_.State().counters.erases;
  host_.FlashBusy(memory_.Part().flash.massEraseMicros);
  SendMessage(Message::kPasswordError, fault);
}

void Bsl5xx::EraseSegment(FaultKind fault) {
  if (Core().size() != 4) return SendMessage(Message::kUnknownCommand, fault);
  if (memory_.EraseSegment(Address())) {
    ++host_.State().counters.erases;
    host_.FlashBusy(memory_.Part().flash.segmentEraseMicros);
  }
  SendMessage(Message::kDone, fault);
}

void Bsl5xx::MassErase(FaultKind fault) {
  memory_.EraseMain();
  ++host_.State().counters.erases;
  host_.FlashBusy(memory_.Part().flash.massEraseMicros);
  SendMessage(Message::kDone, fault);
}

void Bsl5xx::CrcCheck(FaultKind fault) {
  if (Core().size() != 6) return SendMessage(Message::kUnknownCommand, fault);
  const std::uint16_t crc = Crc16Ccitt(memory_.Read(Address(), LengthAfterAddress()));
  SendData({static_cast<std::uint8_t>(crc), static_cast<std::uint8_t>(crc >> 8)}, fault);
}

void Bsl5xx::LoadPc(FaultKind) {
  if (Core().size() != 4) return;
  const std::uint32_t address = Address();
  host_.State().loadPc = address;
  // Code loaded into RAM runs and comes back; anything else leaves the loader.
  if (memory_.IsRam(address) && memory_.RamWritten(address)) return;
  host_.LoadPc(component_, address);
}

void Bsl5xx::TxDataBlock(FaultKind fault) {
  const std::uint16_t count = LengthAfterAddress();
  if (Core().size() != 6 || count == 0 || count > kBufferSize - 1) {
    return SendMessage(Message::kUnknownCommand, fault);
  }
  SendData(memory_.Read(Address(), count), fault);
}

void Bsl5xx::TxVersion(FaultKind fault) {
  // Vendor (TI), command interpreter, API (flash) and peripheral interface (timer UART).
  SendData({0x00, 0x07, 0x04, 0x05}, fault);
}

void Bsl5xx::TxBufferSize(FaultKind fault) {
  SendData({static_cast<std::uint8_t>(kBufferSize), static_cast<std::uint8_t>(kBufferSize >> 8)}, fault);
}

void Bsl5xx::ToggleInfoLock(FaultKind fault) { SendMessage(Message::kDone, fault); }

}  // namespace sim
