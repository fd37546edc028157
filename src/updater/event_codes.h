#pragma once
// Every message code that travels on the run's event queue, in one place.
//
// Two kinds share the queue's EVT_MSG codes: the instrument's numbered replies
// ("I.<n>#..." / "B.<n>$..."), posted with their number as code, and the
// program's own notifications and workflow steps. The program's codes start at
// kFirstInternalCode and the reply parser refuses reply numbers from there on,
// so nothing the instrument sends can be taken for a step of the run.
#include <cstdint>

namespace updater {

/// The lowest code the program uses for itself; instrument reply numbers are
/// always below it.
inline constexpr std::int32_t kFirstInternalCode = 10000;

/// True when `number` can be an instrument reply (not one of our own codes).
constexpr bool IsReplyNumber(std::int32_t number) { return number < kFirstInternalCode; }

/// Instrument reply numbers that the programming back-ends act on.
enum ReplyNumber : std::int32_t {
  RP_ABORT = 2,                 ///< the instrument aborts the Basic-Loader download
  RP_RESET_VECTOR = 80,         ///< the instrument's reset vector (MSP430 query)
  RP_SENSOR_RESET_VECTOR = 81,  ///< the sensor's reset vector (MSP430 query)
  RP_WINCE_NEXT_FILE = 260,     ///< the WinCE instrument is ready for the next file
  RP_WINCE_BLOCK_REPLY = 261,   ///< the WinCE instrument on a data block; text "2": send it again
  RP_BOOT_LOADER_VERSION = 251, ///< the EMF boot loader's version text ("1.06,...")
  RP_IMAGE_CRC = 1205,          ///< the CRC the EMF boot loader computed, hexadecimal
};

/// Notifications of the serial side and of the reply parser (data as noted).
enum NotificationEvent : std::int32_t {
  EV_SERIAL_DATA = 10000,  ///< new bytes arrived; data: the port's COM number
  EV_ACKNOWLEDGE = 10010,  ///< a line with "!"
  EV_REPLY_LINE = 10011,   ///< a line with "A." or "C."
  EV_NEGATIVE = 10012,     ///< a line with "?"
  EV_BOOT_FRAME = 10042,   ///< a boot-loader frame; data: the frame text
  EV_LAB_ANSWER = 10044,   ///< a Lab answer byte; data: the byte, sign-extended
  EV_INTERRUPT = 10060,    ///< the user interrupted the program (TUpdateForm::InterruptSignal)
};

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

/// Events of the Basic-Loader download: the lines its boot loader sends,
/// recognised in the received text, and the download's own step. They are
/// internal codes, so that an instrument reply with the same number can never
/// be taken for one of them (data 0).
enum BasicLoaderEvent : std::int32_t {
  EV_BL_SIGN_ON = 10100,       ///< "Basic-Loader  |"
  EV_BL_VERSION = 10101,       ///< "Basic-Loader / 1.01" or "/ 1.02"
  EV_BL_ERASED = 10102,        ///< "Flash-Memory erased !"
  EV_BL_HALF_ERASED = 10103,   ///< "Flash-Memory (1/2) erased !"
  EV_BL_PROGRAMMED = 10104,    ///< a "programmed" line: success
  EV_BL_WAITING = 10105,       ///< "Waiting for S-Record !": begin the download
  EV_BL_SEND_PIECE = 10106,    ///< send the next piece of the file
  EV_BL_DEFECT = 10108,        ///< a defective record: transmission error and abort
  EV_BL_READY_SEG0 = 10110,    ///< "Ready PC ?  Seg=0"
  EV_BL_READY_SEG1 = 10111,    ///< "Ready PC ?  Seg=1"
  EV_BL_ERASING = 10112,       ///< "Erasing Flash-Memory (n) !": preparation
};

}  // namespace updater
