#include "updater/workflow/workflow_codes.h"

namespace updater {
namespace {

bool Known(std::int32_t fileType) { return fileType >= 0 && fileType < kFileTypes; }

}  // namespace

std::int32_t StartCodeOf(std::int32_t fileType) {
  constexpr std::int32_t kStart[kFileTypes] = {EV_START_MOT, EV_START_TXT, EV_START_EXE, EV_START_HEX, EV_START_BIN};
  return Known(fileType) ? kStart[fileType] : 0;
}

std::string_view ResumeCommandOf(std::int32_t fileType) { return fileType == 1 ? "A.1121\r\n" : "A.1111\r\n"; }

std::int32_t RetryCodeOf(std::int32_t fileType) {
  // .BIN images have no retry entry of their own: the EMF loader's start runs again.
  constexpr std::int32_t kRetry[kFileTypes] = {EV_LADDER_STEP, EV_RETRY_BSL, EV_START_EXE, EV_LADDER_STEP,
                                               EV_START_BIN};
  return Known(fileType) ? kRetry[fileType] : EV_PROGRAM_FAILED;
}

}  // namespace updater
