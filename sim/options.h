#pragma once
// The command line of instrument-sim.
#include <optional>
#include <string>
#include <vector>

#include "sim/faults.h"
#include "sim/instrument_config.h"

namespace sim {

struct SimOptions {
  InstrumentConfig config;
  FaultPlan faults;
  std::string link;     ///< symlink to create to the slave; empty: none
  std::string dumpDir;  ///< empty: no dump
  bool pace = false;
  double timeScale = 1.0;
};

/// Parses the arguments (without the program name). On success `error` stays
/// empty; otherwise it says what is wrong. `environmentScale` is the value of
/// UPDATER_TIME_SCALE (may be null), the default of --time-scale.
std::optional<SimOptions> ParseOptions(const std::vector<std::string>& args, const char* environmentScale,
                                       std::string& error);

/// The usage text, with the presets and the --set keys.
std::string UsageText();

}  // namespace sim
