#include "loaders/emf_commands.h"

#include <algorithm>
#include <charconv>

namespace loaders::emf {
namespace {

constexpr const char* kEntry[] = {"A.1250#", "A.1255#", "A.1256#"};
/// Version 1.06 in hundredths; a small allowance keeps 1.06 itself from
/// reading as 105.999...
constexpr double kConfirmationFrom = 106.0;
constexpr double kRoundingAllowance = 0.0001;

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string_view SkipBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

// A decimal number at the start of the text, as the C library reads one but
// always with "." as decimal point; 0 when there is none.
double ReadDecimal(std::string_view text) {
  text = SkipBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() ? value : 0.0;
}

}  // namespace

const char* EntryCommand(int componentIndex) { return kEntry[std::clamp(componentIndex, 0, 2)]; }

serial::BaudTag BootLoaderRate(bool keepsRate) {
  return keepsRate ? serial::B__9600 : serial::kBaud115200;
}

core::FixedText<4> RateSuffix(serial::BaudTag rate) {
  core::FixedText<4> suffix;
  suffix.Append(static_cast<char>('0' + static_cast<int>(rate))).Append("\r\n");
  return suffix;
}

bool WantsConfirmation(std::string_view versionText) {
  return ReadDecimal(versionText) * 100.0 + kRoundingAllowance >= kConfirmationFrom;
}

core::FixedText<48> BootLoaderVersionNote(std::string_view versionText) {
  core::FixedText<48> note("   [BLV: ");
  return note.Append(versionText.substr(0, versionText.find(','))).Append("]");
}

std::optional<std::uint32_t> ReadCrcReply(std::string_view text) {
  text = SkipBlanks(text);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    text.remove_prefix(2);
  std::uint32_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (result.ec != std::errc()) return std::nullopt;
  return value;
}

}  // namespace loaders::emf
