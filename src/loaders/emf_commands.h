#pragma once
// The texts the EMF boot loader's conversation is made of, and the reading of
// its text replies: the entry commands that make the running firmware start
// its boot loader at a given rate, the version of the boot loader (from which
// on it wants a confirmation line after each one-letter command), and the CRC
// it reports after the transfer.
//
// Pure functions, independent of the locale; any thread.
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/fixed_text.h"
#include "serial/v24_types.h"

namespace loaders::emf {

/// The entry command by component: "A.1250#" (instrument), "A.1255#"
/// (component 1), "A.1256#" (component 2). Indices outside 0..2 are clamped.
const char* EntryCommand(int componentIndex);

/// The rate of the boot loader: 9600 bit/s for firmware marked with "@"
/// (DeviceRecord flag C), 115200 bit/s otherwise.
serial::BaudTag BootLoaderRate(bool keepsRate);

/// What follows the entry command: the rate's BaudTag code as one digit and
/// the line end ("3\r\n" for 9600, "7\r\n" for 115200 bit/s).
core::FixedText<4> RateSuffix(serial::BaudTag rate);

/// The command that asks the boot loader for its version.
inline constexpr const char* kVersionQuery = "A.2051\r\n";
/// Follows each one-letter command of boot loaders from version 1.06 on.
inline constexpr const char* kConfirmationLine = "5836\r\n";
/// One-letter commands: begin the transfer, report the CRC, run the firmware.
inline constexpr char kBeginTransfer = 'u';
inline constexpr char kReportCrc = 'c';
inline constexpr char kRunFirmware = 'r';

/// True when the boot loader's version text (reply 251, "1.06,..." and the
/// like) reads as 1.06 or later: such boot loaders take a one-letter command
/// only with the confirmation line behind it.
bool WantsConfirmation(std::string_view versionText);

/// "   [BLV: <version>]", the version being the text up to its first ",";
/// appended to the software version that the window shows.
core::FixedText<48> BootLoaderVersionNote(std::string_view versionText);

/// The CRC of reply 1205: optional blanks, an optional "0x", then hexadecimal
/// digits (what follows them is ignored). Empty without a digit or when the
/// number is too large for 32 bits, so that a garbled reply never matches.
std::optional<std::uint32_t> ReadCrcReply(std::string_view text);

}  // namespace loaders::emf
