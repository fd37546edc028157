#pragma once
// The host side of the PIC32 serial boot loader's protocol.
//
// Frame: SOH (01), content, EOT (04); content = command, data, CRC-16-CCITT
// (polynomial 0x1021, start 0) of command and data, low byte first; 01, 04
// and 10 inside the content are preceded by DLE (10). The loader answers
// with a frame of the same command, except for the jump to the application.
#include <cstdint>
#include <span>
#include <vector>

#include "sim/standins/firmware_file.h"
#include "sim/standins/link_result.h"
#include "sim/standins/tool_line.h"

namespace standin {

/// CRC-16-CCITT, polynomial 0x1021, start value 0, no final XOR.
std::uint16_t Pic32Crc(std::span<const std::uint8_t> bytes);

class Pic32Link {
 public:
  explicit Pic32Link(ToolLine& line) : line_(line) {}

  LinkResult ReadBootInfo(std::uint8_t& major, std::uint8_t& minor);
  LinkResult EraseFlash();
  LinkResult ProgramRecord(const HexRecord& record);
  LinkResult ReadCrc(std::uint32_t address, std::uint32_t length, std::uint16_t& crc);
  /// Sends the jump; the loader does not answer it.
  bool JumpToApplication();

 private:
  bool Send(const std::vector<std::uint8_t>& body);
  LinkResult Transact(const std::vector<std::uint8_t>& body, int timeoutMs,
                      std::vector<std::uint8_t>& answer);

  ToolLine& line_;
};

}  // namespace standin
