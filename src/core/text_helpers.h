#pragma once
// Helpers on 8-bit, zero-terminated texts with 1-based positions; position 0
// means "not found". Main thread only (ToWide and ToNarrow share static buffers).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace core {

/// 1-based position of the first occurrence of `pattern` that begins at or
/// after `start` (0 and 1 both mean the beginning); 0 when there is none, when
/// `text` is null or empty, when `pattern` is null or empty, or when `start`
/// lies beyond the end of the text plus one.
std::int32_t StrPos(const char* text, const char* pattern, std::int32_t start);

/// Inserts `insert` into the zero-terminated `buffer` (of `capacity` bytes,
/// terminator included) so that its first character stands at 1-based `p`.
/// Refused (buffer unchanged) when p is outside 1..length + 1 or the result
/// would not fit. Returns `buffer`.
char* StrInsert(const char* insert, char* buffer, std::size_t capacity, std::int32_t p);

/// Removes `count` (0..255) characters from 1-based `p`; a range reaching past
/// the end is cut at the end. Refused when p is outside 1..length or count is
/// outside 0..255. Returns `buffer`.
char* StrDelete(char* buffer, std::int32_t p, std::int32_t count);

/// Value of a text of 1 to 4 hexadecimal digits (weights aligned to the right).
/// No digit validation, as the callers read bytes written as "00XX". A null or
/// empty text, or one longer than four characters, gives -1.
std::int32_t HexToInt4(const char* text);

/// Each byte becomes the 16-bit character of the same value; at most 999
/// characters are converted. The result lives in a shared buffer valid until
/// the next call.
const char16_t* ToWide(const char* text);

/// Each 16-bit character becomes its low byte; at most 999 characters. Shared
/// buffer as for ToWide.
const char* ToNarrow(const char16_t* text);

/// `text` with every occurrence of `from` replaced by `to`, scanning left to
/// right; inserted text is not scanned again. An empty `from` changes nothing.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

/// Upper-cases "a".."z" in place and leaves every other byte. Returns `buffer`.
char* UpperAscii(char* buffer);

}  // namespace core
