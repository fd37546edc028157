#pragma once
// FileCatalogue: the firmware files next to the program, and the menu states
// they unlock.
#include <array>
#include <string>
#include <vector>

#include "core/fixed_text.h"
#include "updater/device_profiles.h"

namespace updater {

struct FileCatalogue {
  static constexpr std::size_t kMaxFiles = 160;
  using Name = core::FixedText<256>;

  std::vector<Name> Files;                  ///< upper-cased names, in the order found
  std::vector<std::string> DownloadList;    ///< each name up to its first "."
  bool ProgrammingVisible = false;          ///< "&Programmieren"
  std::array<bool, 4> ModelEnabled{};       ///< "&Multi 77x ..." .. "&Cond 77x ..."
  bool LabEnabled = false;                  ///< "Lab XXX"

  /// True when `name` (compared upper-cased) is in the catalogue.
  bool Contains(std::string_view name) const;
};

/// Lists the firmware files of `programDir` by the masks "*.mot", "*.txt",
/// "*.exe", "*.dll", "*.hex", "*.bin" in this order (names with "EEP" never
/// count; names with "VERSION" count only as .mot files) and sets the menu
/// states from the profiles' ProgFile2 patterns: a .mot name containing the
/// pattern of profile 0 shows "&Programmieren", of profile i (0..3) enables
/// model item i; a file of the other masks containing the pattern of any of
/// the profiles 0..3 enables "Lab XXX". An empty pattern never matches. At most
/// 160 names are stored; the menu states and the download list see every file.
FileCatalogue BuildCatalogue(const std::string& programDir, const DeviceProfiles& profiles);

}  // namespace updater
