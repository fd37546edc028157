#pragma once
// The instrument's side of a WinCE file copy: file headers, data blocks, the
// end of a file and of the transfer, judged against what the header announced.
// The files land in the list it was given (the instrument's state), in the
// order their headers came.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/wince_file.h"

namespace sim {

/// How the instrument answers a step of the copy.
enum class WinceAnswer : std::uint8_t {
  kAck,     ///< "!": taken
  kRefuse,  ///< "?": not understood or out of turn; nothing changed
  kGiveUp,  ///< reply 261 with a text other than 2: the file cannot be completed
  kNextFile,  ///< reply 260: the instrument holds this file already; on with the next
};

class WinceReceiver {
 public:
  /// `files` and `held` must outlive the object; `held` names the files the
  /// instrument already has (see WinceConfig::heldFiles).
  WinceReceiver(std::vector<WinceFile>& files, const std::vector<std::string>& held)
      : files_(files), held_(held), transferStart_(files.size()) {}

  /// "A.1201#" / "A.1205#" with "NAME,DATE,SIZE" (DATE the packed DOS date and
  /// time, both decimal). Refused while another file is still open, or when
  /// the parameter does not have that form; a file it holds is listed as held
  /// and not opened (kNextFile).
  WinceAnswer Header(std::string_view command, std::string_view parameter);
  /// The data of one sound frame for the open file. A block without an open
  /// file, or one that would take the file past its announced size, makes the
  /// instrument give the file up.
  WinceAnswer Block(std::span<const std::uint8_t> data);
  /// "A.1202": ends the open file; it must hold exactly the announced bytes.
  WinceAnswer EndOfFile();
  /// "A.1203": ends the transfer; refused while a file is open.
  WinceAnswer EndOfTransfer();
  /// The files of the transfer that "A.1203" ended last (empty before).
  std::span<const WinceFile> LastTransfer() const;
  /// The open file is given up (the refuse fault).
  void GiveUp();

  bool FileOpen() const { return open_.has_value(); }

 private:
  bool Holds(std::string_view name) const;
  WinceFile* Open();
  void Close(WinceFile::Status status);

  std::vector<WinceFile>& files_;
  const std::vector<std::string>& held_;
  std::optional<std::size_t> open_;  // index in files_ of the file being received
  std::size_t transferStart_;        // index in files_ of the current transfer's first file
  std::size_t lastStart_ = 0;        // the last ended transfer: files_[lastStart_, lastEnd_)
  std::size_t lastEnd_ = 0;
};

}  // namespace sim
