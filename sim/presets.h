#pragma once
// Named instrument presets and the --set keys that adjust them.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/instrument_config.h"

namespace sim {

/// The preset of that name (msp430-classic, msp430-5xx, lab, wince, emf, m16, pic32,
/// basic-loader), or nullopt.
std::optional<InstrumentConfig> FindPreset(std::string_view name);

/// Names of all presets, for help texts.
std::vector<std::string_view> PresetNames();

/// Applies one "KEY=VALUE" to the configuration. Returns an empty text on
/// success, else a message saying what is wrong.
std::string ApplySetting(InstrumentConfig& config, std::string_view assignment);

/// One line per key: the name and what it does (for --help and the README).
std::vector<std::string_view> SettingHelp();

}  // namespace sim
