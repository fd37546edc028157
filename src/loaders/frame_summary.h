#pragma once
// One line that says what a frame written by a boot-loader conversation is,
// for the run log: the family's command with its address and length where the
// frame carries them, recognised by shape and check value alone, so that the
// conversations need not report anything themselves. Pure; any thread.
#include <cstdint>
#include <span>
#include <string>

namespace loaders {

/// "BSL 0x12 RX data block, address 0xF800, 240 bytes" (classic MSP430),
/// "BSL5 0x10 RX data block, address 0x8000, 256 bytes" (MSP430 5xx/6xx),
/// "XMODEM block 3, 1024 bytes", "WinCE data, 2000 bytes", "sync 80",
/// otherwise "N bytes".
std::string SummariseFrame(std::span<const std::uint8_t> frame);

}  // namespace loaders
