#include "core/text_encoding.h"

#include <cstdint>

namespace core {
namespace {

// Unicode code points of Windows-1252 bytes 0x80..0x9F.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 sequence at `i`; false when it is not well-formed.
bool DecodeOne(std::string_view s, std::size_t& i, char32_t& cp) {
  const auto b0 = static_cast<std::uint8_t>(s[i]);
  int extra;
  char32_t min;
  if (b0 < 0x80) {
    cp = b0;
    ++i;
    return true;
  } else if ((b0 & 0xE0) == 0xC0) {
    extra = 1, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3, cp = b0 & 0x07, min = 0x10000;
  } else {
    return false;
  }
  if (i + extra >= s.size()) return false;
  for (int k = 1; k <= extra; ++k) {
    const auto b = static_cast<std::uint8_t>(s[i + k]);
    if ((b & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  i += extra + 1;
  return true;
}

bool IsValidUtf8(std::string_view s) {
  char32_t cp;
  for (std::size_t i = 0; i < s.size();) {
    if (!DecodeOne(s, i, cp)) return false;
  }
  return true;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char c : text) {
    const auto b = static_cast<std::uint8_t>(c);
    AppendUtf8(out, (b >= 0x80 && b <= 0x9F) ? kHighControls[b - 0x80] : b);
  }
  return out;
}

std::string DecodeTextFile(std::string_view bytes) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  const bool bom = bytes.substr(0, 3) == kBom;
  if (bom) bytes.remove_prefix(3);
  if (!bom && !IsValidUtf8(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size());
  char32_t cp;
  for (std::size_t i = 0; i < bytes.size();) {
    if (DecodeOne(bytes, i, cp)) {
      out += static_cast<char>(cp & 0xFF);
    } else {
      out += bytes[i++];  // a stray byte after a byte-order mark stays as it is
    }
  }
  return out;
}

}  // namespace core
