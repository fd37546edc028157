#pragma once
// The ROM boot loader of the classic MSP430 families (1xx, 2xx, 4xx).
//
// Strict like the chip: a sync character (0x80, answered 0x90) must precede
// every frame; a frame is 80 CMD L1 L2 AL AH LL LH data CKL CKH with L1 = L2,
// even and at most 250, and the inverted word-XOR checksum; anything else is
// answered 0xA0. Commands other than RX password, mass erase and TX BSL
// version need the password (the 32 bytes of the interrupt vector table).
// Flash only clears bits when programmed. Version 1.10 reads flash wrongly
// unless a patch loaded into RAM was started by load PC right before the read
// (the reason loaders carry a patch for that version). Version 2.x erases the
// flash on a wrong password unless the word at 0xFFDE is 0.
#include <cstdint>
#include <span>
#include <vector>

#include "sim/flash_model.h"
#include "sim/protocol.h"

namespace sim {

class ClassicBsl final : public Protocol {
 public:
  /// `memory` and `host` must outlive the object. `component` is passed back
  /// with LoadPc.
  ClassicBsl(Host& host, FlashModel& memory, int component);

  LineSettings Line() const override { return line_; }
  void Receive(std::uint8_t byte) override;

  static constexpr std::uint8_t kAck = 0x90;
  static constexpr std::uint8_t kNak = 0xA0;

 private:
  enum class Phase : std::uint8_t { kIdle, kSynced, kFrame };
  enum class Outcome : std::uint8_t { kAck, kNak, kAnswered };
  struct Command;
  static const Command* FindCommand(std::uint8_t code);

  void ReceiveFrameByte(std::uint8_t byte);
  void HandleFrame();
  void SendAck(FaultKind fault);
  void SendNak();
  void SendDataFrame(std::vector<std::uint8_t> data, FaultKind fault);

  std::uint32_t Address() const;
  std::uint16_t LengthField() const;

  Outcome RxPassword(FaultKind fault);
  Outcome RxDataBlock(FaultKind fault);
  Outcome TxDataBlock(FaultKind fault);
  Outcome EraseSegment(FaultKind fault);
  Outcome MassErase(FaultKind fault);
  Outcome EraseCheck(FaultKind fault);
  Outcome LoadPc(FaultKind fault);
  Outcome TxVersion(FaultKind fault);
  Outcome ChangeBaud(FaultKind fault);
  Outcome SetOffset(FaultKind fault);

  bool SupportsTxVersion() const;
  bool Is2x() const { return memory_.Part().bslVersion >= 0x0200; }

  Host& host_;
  FlashModel& memory_;
  int component_;
  LineSettings line_{9600, 1, true};
  Phase phase_ = Phase::kIdle;
  std::vector<std::uint8_t> frame_;
  bool unlocked_ = false;
  bool patchArmed_ = false;
  std::uint32_t offset_ = 0;
};

}  // namespace sim
