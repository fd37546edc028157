#pragma once
// The command line of instrument-updater.
#include <string>
#include <vector>

namespace console {

/// How questions (Yes/No boxes) are answered.
enum class Answers { Ask, Yes, No };

struct ConsoleOptions {
  bool console = false;          ///< --console: run without a window
  bool help = false;             ///< --help
  bool version = false;          ///< --version
  std::string dir;               ///< --dir DIR: working and program directory
  std::vector<std::string> ports;  ///< --ports PATH,...: replaces port discovery
  Answers answers = Answers::Ask;  ///< --yes / --no
  bool debug = false;            ///< --debug: the command log in the output
  bool noVersionCheck = false;   ///< --no-version-check
  int model = -1;                ///< --model N (0..3): a model menu item instead of OK
  bool lab = false;              ///< --lab: "Lab XXX" instead of OK
  bool listPorts = false;        ///< --list-ports: list the ports and their state, then exit
  bool identify = false;         ///< --identify: search and identify only (implies --console)
  std::string logFile;           ///< --log FILE: the run log, written as the run goes (implies --console)
};

struct ParsedCommandLine {
  ConsoleOptions options;
  std::string error;  ///< empty when the command line is valid
};

/// Parses the arguments (without the program name). Options take their value
/// as the next argument or after "=" ("--dir=DIR").
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

/// The --help text: options and exit codes.
std::string HelpText();

/// The --version text.
std::string VersionText();

}  // namespace console
