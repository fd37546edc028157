#pragma once
// The user texts of the hand-off to the updater library and the programming
// tools, German and English (Windows-1252).
#include <string_view>

#include "core/fixed_text.h"
#include "platform/process.h"

namespace loaders::external {

using MessageText = core::FixedText<512>;

/// The tool at `path` could not be started, and why.
MessageText NotStartedMessage(std::string_view path, platform::StartError error, int language);
/// The tool ended with an exit code that means failure.
MessageText ToolFailedMessage(std::string_view tool, int exitCode, int language);
/// The tool ended, but its exit code could not be learnt: no success.
MessageText ToolEndUnknownMessage(std::string_view tool, int language);
/// Log line: the tool asked to be started once more (exit code 1).
MessageText StartAgainNote(std::string_view tool, int language);
/// The PIC32 tool cannot be told a COM number above 9.
MessageText Pic32PortMessage(int comNumber, int language);
/// The file name does not fit the library's buffer.
MessageText NameTooLongMessage(std::string_view file, int language);
/// The library refused or failed one of its steps.
std::string_view LibraryFailedMessage(int language);
/// There is no serial port object to hand over.
std::string_view NoPortMessage(int language);

}  // namespace loaders::external
