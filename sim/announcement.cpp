#include "sim/announcement.h"

#include <array>

namespace sim {
namespace {

struct Variant {
  std::string_view header;
  std::uint8_t startMark;
  std::uint8_t endMark;
};

constexpr std::array<Variant, 3> kVariants{{
    {"h00h", 0x1D, 0x0C},
    {"h11h", 0x1E, 0x0A},
    {"h,,h", 0x19, 0x0C},
}};
constexpr std::uint8_t kStop = 0x16;

}  // namespace

std::optional<Announcement> ParseAnnouncement(std::string_view recipe) {
  const std::size_t colon = recipe.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  for (std::size_t i = 0; i < kVariants.size(); ++i) {
    if (kVariants[i].header == recipe.substr(0, colon)) {
      return Announcement{static_cast<int>(i), std::string(recipe.substr(colon + 1))};
    }
  }
  return std::nullopt;
}

std::vector<std::uint8_t> AnnouncementFrame(const Announcement& announcement) {
  const Variant& variant = kVariants[static_cast<std::size_t>(announcement.variant)];
  std::vector<std::uint8_t> frame(variant.header.begin(), variant.header.end());
  frame.push_back(0x00);
  frame.push_back(0x00);
  frame.push_back(variant.startMark);
  frame.insert(frame.end(), announcement.text.begin(), announcement.text.end());
  frame.push_back(variant.endMark);
  frame.push_back(kStop);
  return frame;
}

}  // namespace sim
