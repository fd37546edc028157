#include "sim/wince_file.h"

#include <cctype>
#include <cstdio>

namespace sim {

std::string_view StatusName(WinceFile::Status status) {
  switch (status) {
    case WinceFile::Status::kReceiving:
      return "receiving";
    case WinceFile::Status::kComplete:
      return "complete";
    case WinceFile::Status::kIncomplete:
      return "incomplete";
    case WinceFile::Status::kRefused:
      return "refused";
    case WinceFile::Status::kHeld:
      return "held";
  }
  return "receiving";
}

std::string WinceDumpName(std::string_view announced) {
  std::string name;
  for (const char c : announced) {
    const bool kept =
        std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
    name += kept ? c : '_';
  }
  if (name.empty() || name.front() == '.') name.insert(name.begin(), '_');
  return "wince/" + name;
}

std::string DosDateTimeText(std::uint32_t packed) {
  const unsigned date = packed >> 16;
  const unsigned time = packed & 0xFFFF;
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1980 + (date >> 9),
                (date >> 5) & 0x0F, date & 0x1F, time >> 11, (time >> 5) & 0x3F, (time & 0x1F) * 2);
  return text;
}

}  // namespace sim
