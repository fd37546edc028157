#pragma once
// DeviceProfiles: the instrument types of "ProgDevice.ini", with the start and
// abort texts and the values derived from the whole table.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/fixed_text.h"
#include "updater/config_file.h"

namespace updater {

/// FileType: which programming path the main firmware file takes.
enum FileTypeCode : std::int32_t { FT_MOT = 0, FT_TXT = 1, FT_EXE = 2, FT_HEX = 3, FT_BIN = 4 };

struct DeviceProfile {
  core::FixedText<12> DeviceNrDef;   ///< PCB number; 5 characters get ".000"
  core::FixedText<12> DeviceNr;      ///< device number; 5 characters get ".000"
  core::FixedText<32> DeviceName;
  core::FixedText<32> ProgFile1;     ///< upper-cased
  core::FixedText<512> ProgFile2;    ///< upper-cased: "FILE[@][,EXTRA,...]"
  core::FixedText<512> ProgFile3;    ///< upper-cased, as ProgFile2
  core::FixedText<64> SWKenn1, SWKenn2, SWKenn3;  ///< version markers
  core::FixedText<64> BootLoadKenn;
  core::FixedText<12> FlashErase1, FlashErase2, FlashErase3;  ///< as text
  core::FixedText<32> ProgDefFile;   ///< upper-cased
  std::int32_t ProzTyp = 0;          ///< processor type, read as hexadecimal
};

struct DeviceProfiles {
  static constexpr std::size_t kMaxProfiles = 255;

  std::vector<DeviceProfile> Table;   ///< file order; the index is the profile index
  std::int32_t StartCmdIndex = 0;     ///< 0..4, from the last device block
  std::int32_t StartCmdIndexCopy = 0; ///< restored by every identification
  std::int32_t FileType = FT_MOT;     ///< from ProgFile2 of profile 0
  core::FixedText<512> StarttextD, StarttextE, AbbruchtextD, AbbruchtextE;
  bool startCmdInvalid = false;       ///< a DevStartCmd was not "1".."9": 0 was used

  /// The start or abort text of `language` (0 German, else English).
  const core::FixedText<512>& Starttext(int language) const { return language == 1 ? StarttextE : StarttextD; }
  const core::FixedText<512>& Abbruchtext(int language) const {
    return language == 1 ? AbbruchtextE : AbbruchtextD;
  }
};

/// Parses the lines of "ProgDevice.ini": blocks of non-empty lines separated by
/// empty ones; a block of 11 or more lines is a device block (at most 255 are
/// kept), one of exactly 4 lines the text block (a later one replaces an
/// earlier one), other blocks are ignored.
DeviceProfiles ParseDeviceProfiles(const ConfigLines& lines);

/// StartCmdIndex of a DevStartCmd value: its first character minus "1",
/// minus 5 more from "6" on. Nothing for an empty value or a first character
/// outside "1".."9".
std::optional<std::int32_t> StartCmdIndexOf(std::string_view devStartCmd);

/// FileType of a ProgFile2 value: 1 with ".TXT", or-ed with 2 for ".EXE" and 3
/// for ".HEX"; 0 otherwise.
std::int32_t FileTypeOf(std::string_view progFile2);

/// ProgDefFile of the first profile whose ProzTyp equals `prozTyp`; nullptr
/// when there is none. Points into `profiles`.
const char* FindProgDefFile(const DeviceProfiles& profiles, std::int32_t prozTyp);

}  // namespace updater
