#pragma once
// The frame with which some boot loaders announce themselves when a search
// probe reaches them: a four-byte header, the text between a start and an end
// mark, and a stop byte. Three variants differ in header and marks.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct Announcement {
  int variant = 0;  ///< 0 "h00h", 1 "h11h", 2 "h,,h"
  std::string text;
};

/// Parses "HEADER:TEXT" with HEADER one of h00h, h11h, h,,h; nullopt otherwise.
std::optional<Announcement> ParseAnnouncement(std::string_view recipe);

/// The frame bytes: header, two filler bytes, start mark, text, end mark, stop byte 0x16.
std::vector<std::uint8_t> AnnouncementFrame(const Announcement& announcement);

/// The first byte of every announcement header and of the search's probe frame.
inline constexpr std::uint8_t kAnnouncementHeaderByte = 0x68;

}  // namespace sim
