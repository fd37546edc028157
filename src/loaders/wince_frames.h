#pragma once
// The wire texts of the WinCE file transfer.
//
// A data frame is "D." + decimal length (1 to 2000) + "," + one check
// character + "#" + the data bytes unchanged, with no line end. The check
// character is the CRC-8 of the data (polynomial 0x1D, start 0xFF, most
// significant bit first, no reflection, no final XOR), moved off the values
// that would read as framing: 0x00 becomes 0x01, and "D", "," and "#" become
// the next character. Commands are text lines ended by CR LF.
//
// Builders write into a caller's buffer of the stated size and return the
// length, or return a bounded text. Pure functions; any thread.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>
#include <string_view>

#include "core/fixed_text.h"
#include "serial/v24_types.h"

namespace loaders::wince {

inline constexpr std::size_t kBlockBytes = 2000;
/// "D.2000,c#" in front of a full block.
inline constexpr std::size_t kMaxFrame = 9 + kBlockBytes;
/// The line code of the copy: 38400 bit/s.
inline constexpr serial::BaudTag kTransferBaud = serial::B_38400;

/// A command line: the file header carries a name of up to 255 bytes.
using CommandText = core::FixedText<320>;

/// The plain CRC-8 of `data` (0xB4 for "123456789").
std::uint8_t Crc8(std::span<const std::uint8_t> data);
/// The check character of a block: Crc8 moved off 0x00, "D", "," and "#".
std::uint8_t CheckCharacter(std::span<const std::uint8_t> data);

/// Builds the frame of `block` (1 to kBlockBytes bytes) into `out`
/// (kMaxFrame bytes); returns its length, or 0 for a block out of range.
std::size_t BuildDataFrame(std::span<const std::uint8_t> block, std::uint8_t* out);

/// Instruments whose start-up program is older than this version take only
/// the header that overwrites.
inline constexpr std::int32_t kFirstVersionWithCheckedHeader = 106;

/// The file header: "A.1205#" (the instrument takes the file whatever it
/// holds) when `force` is set or `thirdVersion` is below 106, else "A.1201#";
/// then name, DOS stamp and size, separated by ",".
CommandText HeaderCommand(std::string_view name, std::uint32_t dosStamp, std::uint32_t size, bool force,
                          std::int32_t thirdVersion);

/// "A.1300#<rate>" CR LF: the instrument's line goes to the bit rate of
/// `baud` (any code 0 to 9, 128000 and 256000 included).
CommandText RateCommand(serial::BaudTag baud);

/// A local time as a packed DOS stamp: date in the high 16 bits (years since
/// 1980, month, day), time in the low 16 bits (hours, minutes, seconds / 2).
/// Times before 1980 or after 2107 are held at the nearest end of the range.
std::uint32_t DosDateTime(const std::tm& local);

/// Reply 261 asks for the last block again when its text is the number 2
/// (leading white space and trailing blanks allowed); any other text gives
/// the file up.
bool AsksForResend(const char* reply);

}  // namespace loaders::wince
