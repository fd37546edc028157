#pragma once
// The check that every file a run will send gets before the instrument is
// asked to start a boot loader (or to let one erase): found by
// platform::ResolveCaseless, readable, not empty, within the limit of what
// takes it, and complete in its format, read with the same function the
// loader that sends it reads it with. A file that passes here is one that
// loader takes; one that fails would otherwise be refused only after the
// instrument's memory was erased. Main thread; no exceptions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "loaders/ti_txt_image.h"

namespace loaders {

/// What takes a file, and so how it is read.
enum class FirmwareKind : std::uint8_t {
  Classic,   ///< T_BSL430: TI-TXT, classic layout, start word
  Msp5xx,    ///< T_BSL_54XX_430: TI-TXT, 5xx layout, start word
  BslPatch,  ///< the classic loader's RAM patch: checked only when it is there (only BSL 1.10 needs
             ///< it)
  Emf,       ///< T_EMFLoader: any bytes whose padded image fits its buffer
  Terminal,  ///< TermProg: S-records within its buffer
  Tool,  ///< an outside programmer or the library: Intel HEX for ".HEX", S-records for ".MOT", else
         ///< any bytes
  WinCE,    ///< TWinCEProg: any bytes within its limit
  LabData,  ///< a Lab data file: any bytes
};

struct FirmwareFile {
  std::string name;  ///< as configured: relative to the installation, any letter case
  FirmwareKind kind;
};

/// A file that would be refused, or none (error None, empty name).
struct FileVerdict {
  std::string name;
  TiTxtError error = TiTxtError::None;
  int line = 0;  ///< 1-based, where the format's reader found the fault; 0 when none
  bool Ok() const { return error == TiTxtError::None; }
};

/// The outside tools and the Lab transfer take files of any size; above this
/// no file is a firmware or data file of these instruments.
inline constexpr std::size_t kOutsideFileBytes = 16 * 1024 * 1024;

/// Whether `name` below `workDir` is an ordinary file that can be opened and
/// holds at least one byte (FileMissing, FileUnreadable, FileEmpty).
FileVerdict CheckFileFound(const std::string& workDir, std::string_view name);

/// The first of `files` that fails its check, in list order; Ok when all pass.
FileVerdict CheckFirmwareFiles(const std::string& workDir, const std::vector<FirmwareFile>& files);

}  // namespace loaders
