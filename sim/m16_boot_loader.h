#pragma once
// The boot loader of the M16 instruments, as the maker's updater library and
// the HEXLoad tool talk to it: 38400 bit/s, 8 data bits, no parity, 1 stop bit.
//
// Request:  5A CMD LEN payload[LEN] SUM
// Response: A5 STATUS LEN payload[LEN] SUM
// SUM makes the 8-bit sum of every byte after the start byte zero. LEN is at
// most 131. Status 00 done, 01 checksum wrong, 02 unknown command, 03 bad
// parameter (length, address, alignment, erase key), 04 write check failed
// (flash not erased), 05 out of sequence.
//
// Commands, each answered by one response:
//   01 connect     -> 00 + version (major, minor) + flash start and end (3 bytes LE each)
//   02 erase       55 AA -> 00 after the whole application flash is erased
//   03 write       address (3 bytes LE) + 2..128 data bytes, address and length even
//   04 read        address (3 bytes LE) + count (1..128) -> 00 + the bytes
//   05 validate    -> 00; marks the programmed application as complete
//   06 start       -> 00, then the processor starts the application at its reset vector
// Everything needs connect first; write needs an erase since connect, start a
// validate after the last write. Bytes before a start byte are dropped and
// counted as bad frames.
#include <cstdint>
#include <vector>

#include "sim/flash_model.h"
#include "sim/protocol.h"

namespace sim {

class M16BootLoader final : public Protocol {
 public:
  /// `memory` and `host` must outlive the object.
  M16BootLoader(Host& host, FlashModel& memory, int component);

  LineSettings Line() const override { return {38400, 1, false}; }
  void Receive(std::uint8_t byte) override;

 private:
  enum class Status : std::uint8_t {
    kDone = 0x00,
    kChecksum = 0x01,
    kUnknown = 0x02,
    kBadParameter = 0x03,
    kWriteCheck = 0x04,
    kSequence = 0x05,
  };
  struct Command;
  static const Command* FindCommand(std::uint8_t code);

  void HandleFrame();
  void Respond(Status status, std::vector<std::uint8_t> payload, FaultKind fault,
               SimTick delayMs = 0);
  std::uint32_t Address() const;
  bool InFlash(std::uint32_t address, std::size_t count) const;

  void Connect(FaultKind fault);
  void Erase(FaultKind fault);
  void Write(FaultKind fault);
  void Read(FaultKind fault);
  void Validate(FaultKind fault);
  void Start(FaultKind fault);

  Host& host_;
  FlashModel& memory_;
  int component_;
  std::vector<std::uint8_t> frame_;
  std::vector<std::uint8_t> payload_;
  bool connected_ = false;
  bool erased_ = false;
  bool valid_ = false;
};

}  // namespace sim
