#pragma once
// The user texts of the MSP430 boot loaders, German and English (Windows-1252).
#include <cstdint>
#include <string_view>

#include "core/fixed_text.h"
#include "loaders/ti_txt_image.h"
#include "updater/bilingual_text.h"

namespace loaders {

/// Caption of the loaders' message boxes, in both languages.
inline constexpr std::string_view kErrorCaption = "Error";

/// StepCode of a run that ended because the instrument answered the entry
/// command with "?".
inline constexpr std::int32_t kStepNotAvailable = 17;
/// StepCode of a failure outside any numbered step.
inline constexpr std::int32_t kStepOutside = 16;

/// The result code that a failed run reports for `stepCode`: 1 to 15 and 17
/// stay, anything else becomes 16.
std::int32_t FailureCode(std::int32_t stepCode);

/// The error message of a failed run by its result code.
std::string_view StepErrorText(std::int32_t resultCode, int language);

/// What is wrong with a firmware file: the reason, the file name and, where
/// known, the line.
using FileErrorText = core::FixedText<512>;
FileErrorText FileProblemText(TiTxtError error, std::string_view file, int line, int language);

/// A loader's message for a firmware file that it refuses before it sends
/// anything: the problem, then that programming was aborted.
FileErrorText FileErrorMessage(TiTxtError error, std::string_view file, int line, int language);

/// Log line: a step did not get through although the boot loader answered;
/// the data phase runs again from the password, erase included.
std::string_view DataPhaseAgainNote(int language);

/// The message for a firmware file refused before the instrument was asked
/// to start a boot loader: the problem, then that the instrument was left
/// as it was.
FileErrorText FileRefusalMessage(TiTxtError error, std::string_view file, int line, int language);

}  // namespace loaders
