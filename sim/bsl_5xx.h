#pragma once
// The boot loader of the MSP430 5xx/6xx families on its UART.
//
// A frame is 80 NL NH core-command CKL CKH with CRC-16-CCITT over the core
// command. The loader answers every frame with one byte: 0x00 when it was
// taken, or an error (0x51 header, 0x52 checksum, 0x53 empty, 0x54 too long,
// 0x56 unknown baud rate); commands that return something follow with a
// response frame (0x3A data, or 0x3B and a message byte: 0x00 done, 0x01
// write check failed, 0x04 locked, 0x05 password error, 0x07 unknown command).
// Everything except RX password, TX BSL version and TX buffer size needs the
// password; a wrong password mass-erases the main flash, as the chip does.
#include <cstdint>
#include <span>
#include <vector>

#include "sim/flash_model.h"
#include "sim/protocol.h"

namespace sim {

class Bsl5xx final : public Protocol {
 public:
  /// `memory` and `host` must outlive the object.
  Bsl5xx(Host& host, FlashModel& memory, int component);

  LineSettings Line() const override { return line_; }
  void Receive(std::uint8_t byte) override;

  static constexpr std::uint8_t kAck = 0x00;

 private:
  enum class Message : std::uint8_t {
    kDone = 0x00,
    kWriteCheckFailed = 0x01,
    kLocked = 0x04,
    kPasswordError = 0x05,
    kUnknownCommand = 0x07,
  };
  struct Command;
  static const Command* FindCommand(std::uint8_t code);

  void HandleFrame();
  void HandleCore(FaultKind fault);
  void SendByte(std::uint8_t byte);
  void SendError(std::uint8_t code);
  void SendResponse(std::vector<std::uint8_t> core, FaultKind fault);
  void SendMessage(Message message, FaultKind fault);
  void SendData(std::vector<std::uint8_t> data, FaultKind fault);

  std::span<const std::uint8_t> Core() const;
  std::uint32_t Address() const;
  std::uint16_t LengthAfterAddress() const;

  void RxDataBlock(FaultKind fault);
  void RxDataBlockFast(FaultKind fault);
  void RxPassword(FaultKind fault);
  void EraseSegment(FaultKind fault);
  void MassErase(FaultKind fault);
  void CrcCheck(FaultKind fault);
  void LoadPc(FaultKind fault);
  void TxDataBlock(FaultKind fault);
  void TxVersion(FaultKind fault);
  void TxBufferSize(FaultKind fault);
  void ToggleInfoLock(FaultKind fault);

  Host& host_;
  FlashModel& memory_;
  int component_;
  LineSettings line_{9600, 1, true};
  std::vector<std::uint8_t> frame_;
  bool unlocked_ = false;
};

}  // namespace sim
