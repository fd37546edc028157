#pragma once
// Everything that makes one simulated instrument: its processors, their
// initial firmware and what the running firmware answers. Built by a preset
// and adjusted by --set keys (presets.h).
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/announcement.h"
#include "sim/emf_config.h"
#include "sim/host.h"
#include "sim/image_builder.h"
#include "sim/line_settings.h"
#include "sim/parts.h"
#include "sim/wince_config.h"
#include "sim/terminal_config.h"

namespace sim {

/// One MSP430 of the instrument: component 0 is the instrument's own
/// processor, component 1 the sensor reached through it.
struct ComponentConfig {
  const PartGeometry* part = nullptr;
  FirmwareImageSpec firmware;  ///< what its flash holds at power-on
  bool blank = false;          ///< flash erased instead (a bricked instrument)
};

struct FirmwareConfig {
  LineSettings line{9600, 1, false};
  /// Reply numbers for PCB number, device number, software version, serial number.
  std::array<int, 4> replies{23, 20, 21, 25};
  std::string prefix = "I.";        ///< "I." or "B."
  std::string commaPrefix;          ///< when set, values are answered as "<commaPrefix>,<value>"
  std::string pcbNumber = "28101.123";
  std::string deviceNumber = "28101.000";
  std::string serialNumber = "14120331";
  std::string secondVersion;        ///< reported after "," when there is no sensor processor
  std::string startupVersion;       ///< answer (reply 2011) to "A.2100"; empty: "?"
  std::string selfUpdateReport = "I.31#";  ///< line sent when "A.2005" has finished
  std::string selfUpdateVersion;    ///< second version after "A.2005"; empty: unchanged
  SimTick selfUpdateMs = 5000;
  SimTick replyMs = 10;             ///< time the firmware takes to answer a command
  /// Further lines sent after the answer to a command number (replies 30, 31,
  /// 208, 262, 920 and the like).
  std::map<int, std::vector<std::string>> extraLines;
};

struct InstrumentConfig {
  std::string preset;
  ComponentConfig main;
  std::optional<ComponentConfig> sensor;
  FirmwareConfig firmware;
  bool startInBootLoader = false;
  /// Sent by the boot loader in answer to a search probe frame (0x68 ...), at
  /// whatever rate the probe came; none when unset.
  std::optional<Announcement> announcement;
  SimTick bootMs = 3000;  ///< from load PC until the firmware is up and reports
  /// Set for a WinCE instrument: its firmware also takes files (wince_firmware.h).
  std::optional<WinceConfig> wince;
  /// An EMF processor with its XMODEM boot loader holds the firmware instead
  /// of the MSP430 of `main` (the emf preset).
  std::optional<EmfConfig> emf;
  /// A terminal with a Basic-Loader as the second component; none when unset.
  std::optional<TerminalConfig> terminal;
};

}  // namespace sim
