#pragma once
// UpdateSettings: the tool's own settings from "Update.ini".
#include <array>
#include <cstdint>
#include <vector>

#include "core/fixed_text.h"
#include "updater/config_file.h"

namespace updater {

struct UpdateSettings {
  static constexpr int kMaxBaudCodes = 16;

  std::int32_t Language = 0;           ///< 0 German, 1 English
  core::FixedText<256> Version;        ///< version of the update package
  std::array<std::int32_t, kMaxBaudCodes> Baud{};  ///< BaudTag codes in search order
  std::int32_t BaudCount = 0;
  bool FixedPort = false;              ///< "Com" has a value: only that port is used
  std::int32_t FixedPortIndex = 0;     ///< 0-based port index of "Com"
};

/// What a loaded "Update.ini" held that cannot be used as it stands.
struct SettingsProblems {
  bool languageInvalid = false;            ///< not "0" or "1": German is used
  std::vector<std::int32_t> droppedBaud;   ///< codes outside 0..9, skipped
  bool comInvalid = false;                 ///< "Com" names no port 1..256
};

/// Reads "Language", "Version", "Baud" and "Com" from the lines. Values are
/// cut to 255 characters; an empty baud list (or one whose every code was
/// invalid) becomes 2, 3, 4, 1, 0; at most 16 codes are kept.
UpdateSettings ParseUpdateSettings(const ConfigLines& lines, SettingsProblems& problems);

/// The content that saving the language writes: exactly the four lines
/// "Language=", "Version=", "Baud=", "Com=" with the file's values, the first
/// character of the language value replaced by the digit of `language` and the
/// version replaced by `version`.
ConfigLines LanguageFileLines(const ConfigLines& lines, std::int32_t language, std::string_view version);

}  // namespace updater
