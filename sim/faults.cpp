#include "sim/faults.h"

#include <array>
#include <charconv>

namespace sim {
namespace {

struct KindName {
  std::string_view name;
  FaultKind kind;
};

constexpr std::array<KindName, 10> kKinds{{
    {"nak", FaultKind::kNak},
    {"noack", FaultKind::kNoAck},
    {"badsum", FaultKind::kBadSum},
    {"corrupt", FaultKind::kCorrupt},
    {"garbage", FaultKind::kGarbage},
    {"silence", FaultKind::kSilence},
    {"refuse", FaultKind::kRefuse},
    {"abort", FaultKind::kAbort},
    {"unplug", FaultKind::kUnplug},
    {"power", FaultKind::kPowerLost},
}};

std::optional<FaultKind> KindFromName(std::string_view name) {
  for (const KindName& entry : kKinds) {
    if (entry.name == name) return entry.kind;
  }
  return std::nullopt;
}

// Text commands may be written with their letter ("A.2001") or as the number.
std::string NormaliseTarget(std::string_view target) {
  if (target.size() > 2 && target[1] == '.') target.remove_prefix(2);
  return std::string(target);
}

}  // namespace

std::optional<FaultSpec> ParseFault(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::optional<FaultKind> kind = KindFromName(text.substr(0, colon));
  if (!kind) return std::nullopt;
  FaultSpec recipe;
  recipe.kind = *kind;
  std::string_view rest = text.substr(colon + 1);
  if (!rest.empty() && rest.back() == '+') {
    recipe.repeat = true;
    rest.remove_suffix(1);
  }
  const std::size_t at = rest.find('@');
  if (at != std::string_view::npos) {
    const std::string_view number = rest.substr(at + 1);
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), recipe.occurrence);
    if (error != std::errc() || end != number.data() + number.size() || recipe.occurrence == 0) return std::nullopt;
    rest = rest.substr(0, at);
  }
  if (rest.empty()) return std::nullopt;
  recipe.target = NormaliseTarget(rest);
  return recipe;
}

FaultKind FaultPlan::Next(std::string_view target) {
  if (silenced_) return FaultKind::kSilence;
  const std::string key = NormaliseTarget(target);
  auto it = counts_.find(key);
  if (it == counts_.end()) it = counts_.emplace(key, 0).first;
  const std::uint32_t occurrence = ++it->second;
  for (const FaultSpec& recipe : specs_) {
    if (recipe.target != key) continue;
    if (occurrence == recipe.occurrence || (recipe.repeat && occurrence > recipe.occurrence)) {
      ++fired_;
      if (recipe.kind == FaultKind::kUnplug) {
        unplugged_ = true;
        silenced_ = true;
        return FaultKind::kSilence;
      }
      if (recipe.kind == FaultKind::kPowerLost) {
        powerLost_ = true;
        return FaultKind::kSilence;
      }
      if (recipe.kind == FaultKind::kSilence) silenced_ = true;
      return recipe.kind;
    }
  }
  return FaultKind::kNone;
}

void FaultPlan::Clear() {
  specs_.clear();
  silenced_ = false;
  unplugged_ = false;
  powerLost_ = false;
}

std::vector<std::uint8_t> GarbageBytes(std::size_t count) {
  // Bytes that a receiver sampling at the wrong rate typically sees: mostly
  // ones with a few low bits. None of them is 0x80, 0x90, 0xA0, "!", "?",
  // "Q", "h", "." or a line end.
  static constexpr std::array<std::uint8_t, 6> kNoise{0xFE, 0xF8, 0xE0, 0xFF, 0xC0, 0xFC};
  std::vector<std::uint8_t> out(count);
  for (std::size_t i = 0; i < count; ++i) out[i] = kNoise[i % kNoise.size()];
  return out;
}

}  // namespace sim
