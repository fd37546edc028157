#include "sim/emf_boot_loader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>

#include "sim/command_table.h"

namespace sim {
namespace {

constexpr std::string_view kConfirmationLine = "5836\r\n";
constexpr double kFirstConfirmingHundredths = 106;  // version 1.06
// Beyond this much image the memory is full; further blocks are refused.
constexpr std::size_t kMemorySize = 1'048'576;
constexpr std::size_t kCorruptedByte = 64;

bool NeedsConfirmation(const std::string& version) {
  // Compared in whole hundredths; the small addend keeps "1.06" from reading as 1.0599...
  return std::floor(std::strtod(version.c_str(), nullptr) * 100 + 1e-6) >=
         kFirstConfirmingHundredths;
}

}  // namespace

struct EmfBootLoader::Command {
  std::uint8_t code;
  const char* name;
  void (EmfBootLoader::*handler)();
};

const EmfBootLoader::Command* EmfBootLoader::FindCommand(std::uint8_t code) {
  static constexpr std::array<Command, 3> kCommands{{
      {'u', "u", &EmfBootLoader::BeginTransfer},
      {'c', "c", &EmfBootLoader::ReportCrc},
      {'r', "r", &EmfBootLoader::StartApplication},
  }};
  return FindRow(kCommands, code);
}

EmfBootLoader::EmfBootLoader(Host& host, EmfMemory& memory, const EmfConfig& config,
                             LineSettings line, const platform::Clock& clock, SimTick readyAt)
    : host_(host),
      memory_(memory),
      config_(config),
      line_(line),
      clock_(clock),
      readyAt_(readyAt),
      confirmation_(NeedsConfirmation(config.bootLoaderVersion)) {}

void EmfBootLoader::Receive(std::uint8_t byte) {
  if (!platform::TickReached(clock_.Now(), readyAt_)) return;  // still starting
  if (transfer_) return ReceiveTransferByte(byte);
  if (pending_ != nullptr) return ReceiveConfirmationByte(byte);
  ReceiveCommandByte(byte);
}

void EmfBootLoader::ReceiveCommandByte(std::uint8_t byte) {
  if (text_.empty()) {
    if (byte == '\r' || byte == '\n') return;
    if (const Command* command = FindCommand(byte)) {
      host_.State().commands.emplace_back(command->name);
      host_.Changed();
      if (!confirmation_) return Execute(*command);
      pending_ = command;
      confirmed_ = 0;
      return;
    }
  }
  if (byte == '\n') {
    std::string line(text_.view());
    text_.Clear();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return HandleLine(line);
  }
  if (text_.size() == text_.kCapacity) {
    text_.Clear();
    return Reply("?");
  }
  text_.Append(static_cast<char>(byte));
}

void EmfBootLoader::ReceiveConfirmationByte(std::uint8_t byte) {
  if (byte != static_cast<std::uint8_t>(kConfirmationLine[confirmed_])) {
    // Not confirmed: the command is dropped and the loader waits for the next one.
    pending_ = nullptr;
    ++host_.State().counters.badFrames;
    host_.Changed();
    return;
  }
  if (++confirmed_ < kConfirmationLine.size()) return;
  const Command* command = pending_;
  pending_ = nullptr;
  Execute(*command);
}

void EmfBootLoader::HandleLine(std::string_view text) {
  host_.State().commands.emplace_back(text);
  host_.Changed();
  if (text != "A.2051") return Reply("?");
  const FaultKind fault = host_.Fault("2051");
  if (fault == FaultKind::kSilence || fault == FaultKind::kNoAck) return;
  if (fault == FaultKind::kGarbage) return host_.Send(GarbageBytes(8));
  if (fault == FaultKind::kNak || fault == FaultKind::kRefuse) return Reply("?");
  Reply("I.251#" + config_.bootLoaderVersion);
}

void EmfBootLoader::Execute(const Command& command) { (this->*command.handler)(); }

void EmfBootLoader::BeginTransfer() {
  EraseEmfMemory(memory_);
  ++host_.State().counters.erases;
  transfer_.emplace(clock_.Now());
  transferEnded_ = false;
  host_.Changed();
  SendByte(kCrcRequest);
}

void EmfBootLoader::ReportCrc() {
  if (!transferEnded_) return Reply("?");
  std::uint16_t crc = ReceivedImageCrc(memory_);
  const FaultKind fault = host_.Fault("crc-reply");
  if (fault == FaultKind::kSilence || fault == FaultKind::kNoAck) return;
  if (fault == FaultKind::kGarbage) return host_.Send(GarbageBytes(8));
  if (fault == FaultKind::kNak || fault == FaultKind::kRefuse) return Reply("?");
  if (fault == FaultKind::kCorrupt) crc ^= 0x0001;
  core::FixedText<16> text;
  text.Format("I.1205#%04X", crc);
  Reply(text.view());
}

void EmfBootLoader::StartApplication() { host_.StartEmfApplication(); }

void EmfBootLoader::ReceiveTransferByte(std::uint8_t byte) {
  Handle(transfer_->Feed(byte, clock_.Now()));
}

void EmfBootLoader::Poll() {
  if (transfer_) Handle(transfer_->Poll(clock_.Now()));
}

std::optional<SimTick> EmfBootLoader::Deadline() const {
  return transfer_ ? transfer_->Deadline() : std::nullopt;
}

void EmfBootLoader::Handle(XmodemReceiver::Event event) {
  switch (event) {
    case XmodemReceiver::Event::kNone:
      return;
    case XmodemReceiver::Event::kBlock:
      return TakeBlock();
    case XmodemReceiver::Event::kDuplicate:
      return SendByte(kAck);
    case XmodemReceiver::Event::kBad:
      ++host_.State().counters.badFrames;
      return Refuse(kNak);
    case XmodemReceiver::Event::kEnd:
      return EndTransfer();
    case XmodemReceiver::Event::kAskAgain:
      return SendByte(kCrcRequest);
    case XmodemReceiver::Event::kGiveUp:
      return AbandonTransfer();
  }
}

void EmfBootLoader::TakeBlock() {
  ++host_.State().counters.frames;
  if (memory_.received.size() + XmodemReceiver::kDataSize > kMemorySize) return Refuse(kNak);
  const FaultKind fault = host_.Fault("xmodem");
  if (fault == FaultKind::kSilence) return;
  if (fault == FaultKind::kNak || fault == FaultKind::kRefuse) return Refuse(kNak);
  transfer_->Accept();
  std::array<std::uint8_t, XmodemReceiver::kDataSize> data;
  std::copy(transfer_->Data().begin(), transfer_->Data().end(), data.begin());
  // A cell that does not take its value: the block is acknowledged all the same.
  if (fault == FaultKind::kCorrupt) data[kCorruptedByte] ^= 0x01;
  StoreEmfBlock(memory_, data);
  ++host_.State().counters.programs;
  host_.Changed();
  if (fault == FaultKind::kNoAck) return;
  if (fault == FaultKind::kGarbage) return host_.Send(GarbageBytes(4));
  SendByte(kAck);
}

void EmfBootLoader::EndTransfer() {
  const FaultKind fault = host_.Fault("eot");
  if (fault == FaultKind::kSilence) return;
  if (fault == FaultKind::kNak || fault == FaultKind::kRefuse) return Refuse(kNak);
  transfer_.reset();
  transferEnded_ = true;
  EndEmfTransfer(memory_);
  host_.Changed();
  if (fault == FaultKind::kNoAck) return;
  if (fault == FaultKind::kGarbage) return host_.Send(GarbageBytes(4));
  SendByte(kAck);
}

// No block came: the receiver cancels (two CANs, so that one lost to noise
// does not matter) and takes commands again. The memory stays erased.
void EmfBootLoader::AbandonTransfer() {
  transfer_.reset();
  host_.Changed();
  constexpr std::array<std::uint8_t, 2> kCancel{kCan, kCan};
  host_.Send(kCancel);
}

void EmfBootLoader::Reply(std::string_view text) {
  std::string line(text);
  line += "\r\n";
  host_.SendText(line);
}

void EmfBootLoader::SendByte(std::uint8_t byte) {
  if (byte == kAck) ++host_.State().counters.acks;
  host_.Send(std::span(&byte, 1));
}

void EmfBootLoader::Refuse(std::uint8_t answer) {
  ++host_.State().counters.naks;
  host_.Changed();
  SendByte(answer);
}

}  // namespace sim
