#pragma once
// The user texts of the WinCE file transfer, German and English (Windows-1252).
#include <string_view>

#include "core/fixed_text.h"
#include "loaders/wince_file.h"

namespace loaders::wince {

using MessageText = core::FixedText<512>;

/// A file that cannot be sent, named, with the reason; nothing was sent for it.
MessageText FileProblemMessage(FileProblem problem, std::string_view file, int language);
/// No acknowledgement came within the watchdog's time.
MessageText SilenceMessage(std::string_view file, int language);
/// The instrument refused the transfer with reply 261 and `reply`.
MessageText RefusalMessage(std::string_view reply, std::string_view file, int language);
/// Log line: the instrument answered "?"; only its silence ends the transfer.
std::string_view NegativeReplyNote(int language);
/// Log line: the instrument asked for the last block again.
std::string_view ResendNote(int language);
/// Log line: the instrument answers but took no block for a while; the
/// current file is sent again from its header.
std::string_view FileAgainNote(int language);

}  // namespace loaders::wince
