#pragma once
// The serial boot loader of the PIC32 instruments, after the framing of the
// chip maker's published serial boot-loader application note: 115200 bit/s,
// 8 data bits, no parity, 1 stop bit.
//
// Frame: SOH (01), the escaped content, EOT (04). Content = command byte,
// data, CRC-16-CCITT of command and data (polynomial 0x1021, initial value 0,
// low byte first). Every 01, 04 or 10 inside the content is preceded by DLE
// (10). An unescaped SOH starts the frame afresh.
//
// Commands; the answer is a frame with the same command byte:
//   01 read boot info  -> 01 + major + minor version
//   02 erase flash     -> 02 once the whole program flash is erased
//   03 program flash   one Intel HEX record in binary (count, address high,
//                      address low, type, data, checksum) -> 03 when taken.
//                      Types 00 data (4-byte aligned address and length, into
//                      erased program flash), 01 end of file, 02 extended
//                      segment address, 04 extended linear address, 05 start
//                      linear address (ignored).
//   04 read CRC        address (4 bytes LE) + length (4 bytes LE) of program
//                      flash -> 04 + CRC-16-CCITT of those bytes (low byte first)
//   05 jump to app     no answer; the processor starts at its reset vector
// Like the chip, the loader stays silent on what it cannot take: a frame with a
// wrong CRC, an unknown command, a HEX record with a wrong checksum or an
// unknown type, data outside program flash or not erased before.
#include <cstdint>
#include <span>
#include <vector>

#include "sim/flash_model.h"
#include "sim/protocol.h"

namespace sim {

class Pic32BootLoader final : public Protocol {
 public:
  /// `memory` and `host` must outlive the object.
  Pic32BootLoader(Host& host, FlashModel& memory, int component);

  LineSettings Line() const override { return {115200, 1, false}; }
  void Receive(std::uint8_t byte) override;

 private:
  struct Command;
  static const Command* FindCommand(std::uint8_t code);

  void HandleFrame();
  void Answer(std::vector<std::uint8_t> content, FaultKind fault, SimTick delayMs = 0);
  void Refuse();  // a command the loader cannot carry out: no answer

  void BootInfo(FaultKind fault);
  void EraseFlash(FaultKind fault);
  void ProgramFlash(FaultKind fault);
  void ReadCrc(FaultKind fault);
  void JumpToApplication(FaultKind fault);
  bool ProgramRecord(std::span<const std::uint8_t> record);

  Host& host_;
  FlashModel& memory_;
  int component_;
  std::vector<std::uint8_t> content_;  // the unescaped content of the frame being received
  bool inFrame_ = false;
  bool escaped_ = false;
  std::uint32_t base_ = 0;  // from the extended address records
};

}  // namespace sim
