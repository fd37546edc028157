#include "updater/workflow/version_value.h"

#include <cmath>
#include <limits>

namespace updater {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::int32_t VersionValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  double sign = 1.0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') sign = -1.0;
    ++i;
  }
  double value = 0.0;
  for (; i < text.size() && IsDigit(text[i]); ++i) value = value * 10.0 + (text[i] - '0');
  if (i < text.size() && text[i] == '.') {
    double weight = 0.1;
    for (++i; i < text.size() && IsDigit(text[i]); ++i, weight /= 10.0) value += (text[i] - '0') * weight;
  }
  const double scaled = std::trunc(sign * value * 1000.01);
  // A version text of absurd length must not overflow the integer.
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  if (scaled >= kMax) return std::numeric_limits<std::int32_t>::max();
  if (scaled <= kMin) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(scaled);
}

}  // namespace updater
