#pragma once
// The host side of the M16 boot loader's protocol, as the maker's updater
// library and the HEXLoad tool speak it.
//
// Request 5A CMD LEN payload SUM, response A5 STATUS LEN payload SUM; SUM
// makes the 8-bit sum of all bytes after the start byte zero. Each request is
// answered by exactly one response; status 00 is success.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "sim/standins/firmware_file.h"
#include "sim/standins/link_result.h"
#include "sim/standins/tool_line.h"

namespace standin {

class M16Link {
 public:
  explicit M16Link(ToolLine& line) : line_(line) {}

  /// Announces the host; the loader reports its flash range [start, end).
  LinkResult Connect(std::uint32_t& flashStart, std::uint32_t& flashEnd);
  LinkResult Erase();
  LinkResult Write(std::uint32_t address, std::span<const std::uint8_t> data);
  LinkResult Read(std::uint32_t address, std::size_t count, std::vector<std::uint8_t>& data);
  LinkResult Validate();
  LinkResult Start();

  /// Writes every block (in pieces of up to 128 bytes, padded with 0xFF to
  /// even addresses and lengths) and reads each piece back. `progress` gets
  /// 0 to 100.
  LinkResult Program(const std::vector<Block>& blocks, const std::function<void(int)>& progress);

  std::uint8_t LastStatus() const { return status_; }

 private:
  LinkResult Transact(std::uint8_t command, const std::vector<std::uint8_t>& payload, int timeoutMs,
                      std::vector<std::uint8_t>* reply = nullptr);

  ToolLine& line_;
  std::uint8_t status_ = 0;
};

}  // namespace standin
