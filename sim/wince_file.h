#pragma once
// A file that the updater copied to a WinCE instrument, as the instrument
// received it, and how the dump names and dates it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct WinceFile {
  enum class Status : std::uint8_t {
    kReceiving,   ///< its header was taken; blocks may follow
    kComplete,    ///< "A.1202" ended it with exactly the announced bytes
    kIncomplete,  ///< "A.1202" came before all announced bytes (or after too many)
    kRefused,     ///< the instrument gave the file up (reply 261 with a text other than 2)
    kHeld,        ///< the instrument holds it already and asked for the next file (reply 260)
  };

  std::string name;    ///< as announced in the header
  std::string header;  ///< the header command: "A.1201" or "A.1205" (copy unconditionally)
  std::uint32_t dosDateTime =
      0;                     ///< as announced: DOS date in the high 16 bits, DOS time in the low
  std::uint32_t size = 0;    ///< as announced
  std::uint32_t blocks = 0;  ///< data frames taken
  std::vector<std::uint8_t> data;
  Status status = Status::kReceiving;
};

/// "receiving", "complete", "incomplete", "refused" or "held".
std::string_view StatusName(WinceFile::Status status);

/// Where the dump keeps the file: "wince/" and the announced name with every
/// character other than a letter, digit, ".", "-" or "_" made "_", and a "_"
/// in front of a name that would start with "." (so "..", "." or a hidden
/// name cannot arise), or "_" for an empty name. No name leaves the folder.
std::string WinceDumpName(std::string_view announced);

/// The packed DOS date and time as "YYYY-MM-DD hh:mm:ss" (seconds in steps of two).
std::string DosDateTimeText(std::uint32_t packed);

}  // namespace sim
