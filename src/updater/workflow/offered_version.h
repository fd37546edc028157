#pragma once
// Finding the offered software version inside a firmware file: a marker text
// given by the device profile, and the version text behind it.
#include <cstdint>
#include <string_view>

#include "core/fixed_text.h"
#include "updater/device_record.h"

namespace updater {

/// How a file is searched, from its marker and name:
enum VersionReadMode : std::int32_t {
  VR_HEAD = 0,     ///< TI-TXT and the like: hexadecimal bytes behind the marker in the first 1000 bytes
  VR_SRECORD = 1,  ///< marker is an S-record line start ("S1094000"): hex digits in the last 1000 bytes
  VR_PROGRAM = 2,  ///< .EXE/.DLL: versions stored as 16-bit strings in the last 64000 bytes
  VR_BINARY = 4,   ///< .BIN: a plain text behind the marker in the last 250000 bytes
};

/// 1 for an S-record marker, plus 2 for a name with "EXE" or "DLL", plus 4 for
/// a name with "BIN". Combined values (3, 5, ...) are searched for nothing.
std::int32_t VersionReadModeOf(std::string_view marker, std::string_view fileName);

using VersionText = core::FixedText<256>;

/// The version text that `mode` finds behind `marker` in the whole content of
/// a file; empty when the marker is not there or the mode reads nothing.
/// Never reads outside `content`.
VersionText FindVersionText(std::int32_t mode, std::string_view marker, std::string_view content);

/// Stores what a lookup found: the first lookup of the main kind (modes 0, 2
/// and 4 while the offered version text is empty) sets the offered version,
/// every later one and every S-record lookup the second offered version;
/// combined modes store nothing. Texts are cut to their fields.
void StoreOfferedVersion(std::int32_t mode, std::string_view text, DeviceRecord& record);

}  // namespace updater
