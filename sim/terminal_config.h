#pragma once
// An instrument with a terminal that carries a Basic-Loader: what the
// terminal holds at power-on and how its loader behaves (presets.h sets it
// for the basic-loader preset and its --set keys).
#include <string>

#include "sim/host.h"
#include "sim/terminal_image.h"

namespace sim {

/// The component number under which the terminal's Basic-Loader has the line.
inline constexpr int kTerminalComponent = 2;

struct TerminalConfig {
  TerminalImageSpec firmware;        ///< what the terminal's flash holds at power-on
  bool blank = false;                ///< the flash holds no firmware at power-on (a download broke)
  std::string reply208 = "0";        ///< text of reply 208; "0" is a terminal for L3_TermH.A37, else L3_TermL.A37
  std::string loaderVersion = "1.02";  ///< "1.01" or "1.02": which texts the loader sends
  bool endBytes = false;             ///< the loader ends with the bytes A1 48 20 14 instead of a text line
  /// From the firmware's "!" to A.1220 until the loader's first line: the
  /// terminal restarts into its loader, and the updater switches its line.
  SimTick startMs = 2000;
  SimTick eraseMs = 1000;            ///< per flash bank
};

}  // namespace sim
