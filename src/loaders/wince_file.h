#pragma once
// A file on its way to a WinCE instrument: checked before the transfer
// starts, read whole when its turn comes, with its modification time as the
// DOS stamp that the file header announces. Never throws; any thread.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace loaders::wince {

enum class FileProblem : std::uint8_t {
  None,
  Missing,     ///< no such file
  Unreadable,  ///< not a plain file, or it cannot be opened or read
  TooLarge,    ///< more than the transfer may hold
};

struct TransferFile {
  std::vector<std::uint8_t> content;
  std::uint32_t dosStamp = 0;  ///< last modification, local time, packed DOS date and time
};

/// Whether the file at `path` can be sent: it exists, is a plain readable
/// file and holds at most `maxBytes` bytes.
FileProblem CheckTransferFile(const std::string& path, std::size_t maxBytes);

/// Reads the file at `path` whole into `file`, with the checks of
/// CheckTransferFile (a file that grew past `maxBytes` meanwhile is TooLarge).
FileProblem ReadTransferFile(const std::string& path, std::size_t maxBytes, TransferFile& file);

}  // namespace loaders::wince
