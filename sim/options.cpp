#include "sim/options.h"

#include "platform/clock.h"
#include "sim/presets.h"

namespace sim {

std::optional<SimOptions> ParseOptions(const std::vector<std::string>& args, const char* environmentScale,
                                       std::string& error) {
  SimOptions options;
  options.timeScale = platform::ParseTimeScale(environmentScale);
  std::string preset;
  std::vector<std::string> settings;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--pace") {
      options.pace = true;
    } else if (!hasValue && (arg == "--preset" || arg == "--set" || arg == "--link" || arg == "--dump-dir" ||
                             arg == "--fault" || arg == "--time-scale")) {
      error = arg + " needs a value";
      return std::nullopt;
    } else if (arg == "--preset") {
      preset = args[++i];
    } else if (arg == "--set") {
      settings.push_back(args[++i]);
    } else if (arg == "--link") {
      options.link = args[++i];
    } else if (arg == "--dump-dir") {
      options.dumpDir = args[++i];
    } else if (arg == "--fault") {
      const std::optional<FaultSpec> fault = ParseFault(args[++i]);
      if (!fault) {
        error = "bad fault: " + args[i];
        return std::nullopt;
      }
      options.faults.Add(*fault);
    } else if (arg == "--time-scale") {
      options.timeScale = platform::ParseTimeScale(args[++i].c_str());
    } else {
      error = "unknown argument: " + arg;
      return std::nullopt;
    }
  }
  std::optional<InstrumentConfig> config = FindPreset(preset);
  if (!config) {
    error = preset.empty() ? "--preset is required" : "unknown preset: " + preset;
    return std::nullopt;
  }
  for (const std::string& setting : settings) {
    error = ApplySetting(*config, setting);
    if (!error.empty()) return std::nullopt;
  }
  options.config = std::move(*config);
  return options;
}

std::string UsageText() {
  std::string text =
      "usage: instrument-sim --preset NAME [--set KEY=VALUE]... [--link PATH] [--dump-dir DIR]\n"
      "                      [--fault RULE]... [--pace] [--time-scale X]\n"
      "Prints \"PTY <slave path>\" first, then serves until SIGTERM, SIGINT or end of input.\n"
      "presets:";
  for (const std::string_view name : PresetNames()) text += " " + std::string(name);
  text += "\nkeys:\n";
  const auto help = SettingHelp();
  for (std::size_t i = 0; i + 1 < help.size(); i += 2) {
    text += "  " + std::string(help[i]) + ": " + std::string(help[i + 1]) + "\n";
  }
  text += "faults: KIND:TARGET[@N][+], KIND nak|noack|badsum|corrupt|garbage|silence|refuse|abort|unplug\n";
  return text;
}

}  // namespace sim
