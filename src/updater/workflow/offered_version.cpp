#include "updater/workflow/offered_version.h"

#include <algorithm>

#include "updater/workflow/version_value.h"

namespace updater {
namespace {

constexpr std::size_t kHeadBytes = 1000;
constexpr std::size_t kProgramBytes = 64000;
constexpr std::size_t kBinaryBytes = 250000;

bool Contains(std::string_view text, std::string_view part) {
  return !part.empty() && text.find(part) != std::string_view::npos;
}

std::string_view Tail(std::string_view content, std::size_t bytes) {
  return content.size() > bytes ? content.substr(content.size() - bytes) : content;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Hexadecimal byte values behind the marker ("31 2E 30 32 00" or
// "312E303200"), up to the value 0. Only the text before the buffer's first
// zero byte counts. Line ends between the values are stepped over like blanks,
// so a version that runs into the next TI-TXT line is still read whole; a
// character that is no hexadecimal digit ends the text.
void AppendHexText(std::string_view buffer, std::string_view marker, VersionText& text) {
  const std::string_view textual = buffer.substr(0, std::min(buffer.find('\0'), buffer.size()));
  const std::size_t at = textual.find(marker);
  if (marker.empty() || at == std::string_view::npos) return;
  for (std::size_t i = at + marker.size(); i + 1 < textual.size();) {
    const int high = HexDigit(textual[i]);
    const int low = HexDigit(textual[i + 1]);
    if (high < 0 || low < 0) return;
    const char value = static_cast<char>(high * 16 + low);
    if (value == '\0') return;
    text.Append(value);
    for (i += 2; i < textual.size() && (textual[i] == ' ' || textual[i] == '\r' || textual[i] == '\n');) ++i;
  }
}

// The 16-bit character at unit `i` of a little-endian byte run.
char16_t Unit(std::string_view bytes, std::size_t i) {
  return static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                               (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
}

// Low bytes of the zero-terminated 16-bit text from unit `from`.
VersionText NarrowFrom(std::string_view bytes, std::size_t from, std::size_t units) {
  VersionText text;
  for (std::size_t i = from; i < units && Unit(bytes, i) != 0; ++i) text.Append(static_cast<char>(Unit(bytes, i)));
  return text;
}

VersionText FindInProgram(std::string_view bytes, std::string_view marker) {
  const std::size_t units = bytes.size() / 2;
  for (std::size_t start = 0; start < units;) {
    std::size_t end = start;
    while (end < units && Unit(bytes, end) != 0) ++end;
    const VersionText string = NarrowFrom(bytes, start, units);
    if (Contains(string.view(), marker)) {
      const std::size_t blank = string.view().find(' ');
      if (blank != std::string_view::npos) return VersionText(string.view().substr(blank + 1));
      return NarrowFrom(bytes, end + 1 + 3, units);
    }
    start = end + 1;
  }
  return {};
}

VersionText FindInBinary(std::string_view bytes, std::string_view marker) {
  const std::size_t at = marker.empty() ? std::string_view::npos : bytes.find(marker);
  if (at == std::string_view::npos) return {};
  const std::size_t skip = static_cast<unsigned char>(marker[0]) == 0xDD ? 4 : 1;
  const std::size_t from = at + marker.size() + skip;
  if (from >= bytes.size()) return {};
  const std::string_view rest = bytes.substr(from);
  return VersionText(rest.substr(0, std::min(rest.find('\0'), rest.size())));
}

}  // namespace

std::int32_t VersionReadModeOf(std::string_view marker, std::string_view fileName) {
  std::int32_t mode = Contains(marker, "S1094000") ? VR_SRECORD : VR_HEAD;
  if (Contains(fileName, "EXE") || Contains(fileName, "DLL")) mode += VR_PROGRAM;
  if (Contains(fileName, "BIN")) mode += VR_BINARY;
  return mode;
}

VersionText FindVersionText(std::int32_t mode, std::string_view marker, std::string_view content) {
  VersionText text;
  switch (mode) {
    case VR_HEAD:
      AppendHexText(content.substr(0, std::min(kHeadBytes, content.size())), marker, text);
      break;
    case VR_SRECORD:
      AppendHexText(Tail(content, kHeadBytes), marker, text);
      break;
    case VR_PROGRAM:
      text = FindInProgram(Tail(content, kProgramBytes), marker);
      break;
    case VR_BINARY:
      text = FindInBinary(Tail(content, kBinaryBytes), marker);
      AppendHexText(Tail(content, kBinaryBytes), marker, text);
      break;
    default:
      break;
  }
  return text;
}

void StoreOfferedVersion(std::int32_t mode, std::string_view text, DeviceRecord& record) {
  const bool mainKind = mode == VR_HEAD || mode == VR_PROGRAM || mode == VR_BINARY;
  if (mainKind && record.OfferedVersionText.empty()) {
    record.OfferedVersionText = text;
    record.OfferedVersion = VersionValue(text);
  } else if (mainKind || mode == VR_SRECORD) {
    record.SecondOfferedVersionText = text;
    record.SecondOfferedVersion = VersionValue(text);
  }
}

}  // namespace updater
