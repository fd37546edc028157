#pragma once
// The codes a run moves on: the workflow's own events, the steps of the
// acknowledgement ladder and the tables indexed by FileType.
#include <cstdint>
#include <string_view>

namespace updater {

/// Events the workflow posts to itself (data 0 unless noted).
enum WorkflowEvent : std::int32_t {
  EV_PROGRAM_FAILED = 10021,   ///< a programming step failed: abort, OK retries
  EV_STORE_AND_CLOCK = 10022,  ///< the .mot main file was programmed by the external handler
  EV_START_MOT = 10023,        ///< programming start for .mot files: the entry command
  EV_SECOND_COMPONENT = 10024, ///< second component, Lab data or finish
  EV_BASIC_LOADER = 10025,     ///< start the Basic-Loader download
  EV_MAIN_EXTERNAL = 10030,    ///< the main file through the external handler
  EV_LADDER_STEP = 10040,      ///< one ladder step (the model menu takes it instead)
  EV_START_TXT = 10043,        ///< programming start for TI-TXT files: MSP430 boot loader
  EV_LAB_PROGRAM = 10045,      ///< a Lab instrument's boot loader (the menu step takes it)
  EV_RETRY_BSL = 10046,        ///< the MSP430 boot loader again after an abort
  EV_SECOND_FAILED = 10047,    ///< the second component failed: abort without retry
  EV_START_EXE = 10050,        ///< programming start for WinCE files
  EV_START_HEX = 10051,        ///< programming start for .HEX files
  EV_START_BIN = 10052,        ///< programming start for .BIN images: EMF loader
};

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
