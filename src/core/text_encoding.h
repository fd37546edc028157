#pragma once
// Conversions of the project's 8-bit Windows-1252 texts for the user interface
// and for reading text files.
#include <string>
#include <string_view>

namespace core {

/// Windows-1252 bytes to UTF-8 (0x80..0x9F through the Windows-1252 table;
/// the five undefined codes map to the C1 control of the same value).
std::string Cp1252ToUtf8(std::string_view text);

/// Decodes the content of a configuration or dialog-text file to 8-bit text:
/// a UTF-8 byte-order mark or valid UTF-8 is decoded as UTF-8 and each
/// character reduced to its low byte; anything else is taken as Windows-1252
/// bytes unchanged.
std::string DecodeTextFile(std::string_view bytes);

}  // namespace core
