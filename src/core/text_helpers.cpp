#include "core/text_helpers.h"

#include <algorithm>
#include <cstring>

namespace core {
namespace {
constexpr std::size_t kConversionBuffer = 1000;  // characters, terminator included
}

std::int32_t StrPos(const char* text, const char* pattern, std::int32_t start) {
  if (text == nullptr || pattern == nullptr || *text == '\0' || *pattern == '\0') return 0;
  const std::size_t length = std::strlen(text);
  const std::size_t from = start > 1 ? static_cast<std::size_t>(start - 1) : 0;
  if (from > length) return 0;
  const char* found = std::strstr(text + from, pattern);
  return found ? static_cast<std::int32_t>(found - text) + 1 : 0;
}

char* StrInsert(const char* insert, char* buffer, std::size_t capacity, std::int32_t p) {
  if (insert == nullptr || buffer == nullptr) return buffer;
  const std::size_t length = strnlen(buffer, capacity);
  const std::size_t add = std::strlen(insert);
  if (length >= capacity || p < 1 || static_cast<std::size_t>(p) > length + 1) return buffer;
  if (length + add + 1 > capacity) return buffer;
  char* at = buffer + (p - 1);
  std::memmove(at + add, at, length - (p - 1) + 1);
  std::memcpy(at, insert, add);
  return buffer;
}

char* StrDelete(char* buffer, std::int32_t p, std::int32_t count) {
  if (buffer == nullptr || count < 0 || count > 255) return buffer;
  const std::size_t length = std::strlen(buffer);
  if (p < 1 || static_cast<std::size_t>(p) > length) return buffer;
  const std::size_t from = p - 1;
  const std::size_t n = std::min<std::size_t>(count, length - from);
  std::memmove(buffer + from, buffer + from + n, length - from - n + 1);
  return buffer;
}

std::int32_t HexToInt4(const char* text) {
  if (text == nullptr) return -1;
  const std::size_t length = std::strlen(text);
  if (length == 0 || length > 4) return -1;
  std::int32_t value = 0;
  for (std::size_t i = 0; i < length; ++i) {
    const char c = text[i];
    const int digit = c <= '9' ? c - '0' : (c >= 'a' && c <= 'z' ? c - 32 : c) - 55;
    value = value * 16 + digit;
  }
  return value;
}

const char16_t* ToWide(const char* text) {
  static char16_t wide[kConversionBuffer];
  std::size_t i = 0;
  for (; text != nullptr && text[i] != '\0' && i < kConversionBuffer - 1; ++i) {
    wide[i] = static_cast<unsigned char>(text[i]);
  }
  wide[i] = u'\0';
  return wide;
}

const char* ToNarrow(const char16_t* text) {
  static char narrow[kConversionBuffer];
  std::size_t i = 0;
  for (; text != nullptr && text[i] != u'\0' && i < kConversionBuffer - 1; ++i) {
    narrow[i] = static_cast<char>(text[i] & 0xFF);
  }
  narrow[i] = '\0';
  return narrow;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  std::size_t start = 0;
  for (std::size_t at = text.find(from); at != std::string_view::npos; at = text.find(from, start)) {
    out.append(text.substr(start, at - start)).append(to);
    start = at + from.size();
  }
  return out.append(text.substr(start));
}

char* UpperAscii(char* buffer) {
  for (char* c = buffer; c != nullptr && *c != '\0'; ++c) {
    if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
  }
  return buffer;
}

}  // namespace core
