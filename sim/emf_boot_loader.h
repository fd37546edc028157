#pragma once
// The EMF boot loader: text lines and single-character commands, and an
// XMODEM-CRC receiver for the firmware image.
//
// Command mode:
//   "A.2051" CR LF   reply "I.251#<version>"
//   "u"              erase the memory, send "C" and receive blocks until EOT;
//                    "C" again every 3 s until the first block, and after
//                    60 s without one CAN CAN and back to these commands
//   "c"              reply "I.1205#XXXX": the CRC-16/XMODEM of what the last
//                    transfer carried, without its 6-byte trailer (4 hex digits)
//   "r"              start the application in the memory
// From version 1.06 on, each single-character command counts only when the
// line "5836" CR LF follows it; anything else there drops the command.
// Other lines, and "c" before any transfer, are answered "?".
#include <cstdint>
#include <optional>

#include "core/fixed_text.h"
#include "platform/clock.h"
#include "sim/emf_config.h"
#include "sim/emf_memory.h"
#include "sim/protocol.h"
#include "sim/xmodem_receiver.h"

namespace sim {

class EmfBootLoader final : public Protocol {
 public:
  /// All references must outlive the object; `line` is where it listens,
  /// from the clock's tick `readyAt` on (bytes before it are lost).
  EmfBootLoader(Host& host, EmfMemory& memory, const EmfConfig& config, LineSettings line,
                const platform::Clock& clock, SimTick readyAt);

  LineSettings Line() const override { return line_; }
  void Receive(std::uint8_t byte) override;
  void Poll() override;
  std::optional<SimTick> Deadline() const override;

 private:
  struct Command;
  static const Command* FindCommand(std::uint8_t code);

  void ReceiveCommandByte(std::uint8_t byte);
  void ReceiveConfirmationByte(std::uint8_t byte);
  void ReceiveTransferByte(std::uint8_t byte);
  void Handle(XmodemReceiver::Event event);
  void HandleLine(std::string_view text);
  void Execute(const Command& command);

  void BeginTransfer();
  void ReportCrc();
  void StartApplication();
  void TakeBlock();
  void EndTransfer();
  void AbandonTransfer();

  void Reply(std::string_view text);
  void SendByte(std::uint8_t byte);
  void Refuse(std::uint8_t answer);

  Host& host_;
  EmfMemory& memory_;
  const EmfConfig& config_;
  LineSettings line_;
  const platform::Clock& clock_;
  SimTick readyAt_;
  bool confirmation_;                       // single-character commands need "5836" CR LF
  core::FixedText<64> text_;                // the text line being received
  const Command* pending_ = nullptr;        // command waiting for its confirmation line
  std::size_t confirmed_ = 0;               // characters of the confirmation line received
  std::optional<XmodemReceiver> transfer_;  // a transfer is running
  bool transferEnded_ = false;              // the last transfer ended with EOT
};

}  // namespace sim
