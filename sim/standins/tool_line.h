#pragma once
// The serial line of the stand-in tools and library: COM n found through
// UPDATER_PORTS, opened for exclusive use at 8 data bits, no parity, one stop
// bit, no handshake, and read with deadlines.
//
// UPDATER_PORTS holds the device paths in COM order, separated by ',' or ':'
// ("/dev/ttyUSB0,/dev/ttyS0": COM1 is /dev/ttyUSB0, COM2 /dev/ttyS0); blanks
// around a path are dropped and an empty entry leaves its COM number unused.
// This code is the tools' own: it shares nothing with the updater or the
// simulator.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace standin {

/// The device path of COM `com` (1 = COM1) from `ports` (the value of
/// UPDATER_PORTS); empty when the list has no such entry.
std::string ComPortPath(const char* ports, int com);

class ToolLine {
 public:
  /// Opens `path` at `baud` (one of the standard rates up to 115200) with
  /// 8N1. Null, with a message in `error`, when that fails.
  static std::unique_ptr<ToolLine> Open(const std::string& path, std::uint32_t baud,
                                        std::string& error);
  ~ToolLine();
  ToolLine(const ToolLine&) = delete;
  ToolLine& operator=(const ToolLine&) = delete;

  /// Writes all bytes and waits until they have left; false when the line failed.
  bool Write(std::span<const std::uint8_t> bytes);
  /// The next byte, waiting at most `ms` milliseconds for it.
  std::optional<std::uint8_t> Read(int ms);
  /// Drops whatever arrived and was not read yet.
  void DropInput();

 private:
  explicit ToolLine(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace standin
