#pragma once
// The codes a run moves on: the workflow's own events, the steps of the
// acknowledgement ladder and the tables indexed by FileType.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "updater/event_codes.h"

namespace updater {


/// Steps of the acknowledgement ladder (the value of Phase when an
/// acknowledgement arrives).
enum LadderPhase : std::int32_t {
  PH_SEARCH = 0,       ///< the search's identify command was answered
  PH_READY = 1,        ///< "A.1000" was answered: identification starts
  PH_FIRSTFILE = 2,    ///< in the boot loader: program the first file, if any
  PH_REENTRY = 3,      ///< first file done: the entry command again
  PH_MAINFILE = 4,     ///< the main file through the external handler
  PH_SECOND = 5,
  PH_BASICLOADER = 6,
  PH_AFTER = 7,
  PH_DONE = 8,
};

/// The identification commands, in the order they are sent.
inline constexpr std::string_view kIdentCmd[4] = {"A.2003\r\n", "A.2000\r\n", "A.2001\r\n", "A.4001\r\n"};

/// A first-file name shorter than this means "no first file".
inline constexpr std::size_t kMinFirstFileName = 4;
/// The second component needs a file name at least this long.
inline constexpr std::size_t kMinSecondFileName = 5;

/// Number of FileType values the tables know (0 .mot .. 4 .BIN).
inline constexpr std::int32_t kFileTypes = 5;

/// Programming start event of a FileType; 0 for a value outside the tables
/// (a main file name that names several file kinds).
std::int32_t StartCodeOf(std::int32_t fileType);
/// The command that sends the instrument back to normal operation.
std::string_view ResumeCommandOf(std::int32_t fileType);
/// The event the retry after an abort posts.
std::int32_t RetryCodeOf(std::int32_t fileType);

}  // namespace updater
