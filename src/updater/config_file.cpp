#include "updater/config_file.h"

#include <cctype>
#include <limits>

#include "core/text_encoding.h"
#include "platform/files.h"

namespace updater {
namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    const bool letters = x < 0x80 && y < 0x80;
    if (letters ? std::toupper(x) != std::toupper(y) : x != y) return false;
  }
  return true;
}

}  // namespace

std::optional<ConfigLines> LoadConfigLines(const std::string& path) {
  const std::optional<std::string> bytes = platform::ReadFileBytes(path);
  if (!bytes) return std::nullopt;
  return platform::SplitLines(core::DecodeTextFile(*bytes));
}

std::string KeyValue(const ConfigLines& lines, std::string_view key) {
  for (const std::string& line : lines) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos && SameIgnoringCase(std::string_view(line).substr(0, eq), key)) {
      return line.substr(eq + 1);
    }
  }
  return {};
}

std::int32_t ReadDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;
  }
  if (negative) return static_cast<std::int32_t>(-value);
  return static_cast<std::int32_t>(value > kLimit - 1 ? kLimit - 1 : value);
}

}  // namespace updater
