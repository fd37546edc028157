#include "ui/console/console_options.h"

#include <functional>
#include <map>

namespace console {
namespace {

constexpr const char* kProgramVersion = "instrument-updater " UPDATER_VERSION;

void SplitPorts(const std::string& value, std::vector<std::string>& ports) {
  std::size_t start = 0;
  while (start <= value.size()) {
    const std::size_t end = value.find_first_of(",:", start);
    const std::string path = value.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!path.empty()) ports.push_back(path);
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

bool ReadModel(const std::string& value, int& model) {
  if (value.size() != 1 || value[0] < '0' || value[0] > '3') return false;
  model = value[0] - '0';
  return true;
}

using Flag = std::function<void(ConsoleOptions&)>;
using Valued = std::function<bool(ConsoleOptions&, const std::string&)>;

const std::map<std::string, Flag>& Flags() {
  static const std::map<std::string, Flag> flags{
      {"--console", [](ConsoleOptions& o) { o.console = true; }},
      {"--help", [](ConsoleOptions& o) { o.help = true; }},
      {"-h", [](ConsoleOptions& o) { o.help = true; }},
      {"--version", [](ConsoleOptions& o) { o.version = true; }},
      {"--yes", [](ConsoleOptions& o) { o.answers = Answers::Yes; }},
      {"--no", [](ConsoleOptions& o) { o.answers = Answers::No; }},
      {"--debug", [](ConsoleOptions& o) { o.debug = true; }},
      {"--no-version-check", [](ConsoleOptions& o) { o.noVersionCheck = true; }},
      {"--lab", [](ConsoleOptions& o) { o.lab = true; }},
      {"--list-ports", [](ConsoleOptions& o) { o.listPorts = true; }},
      {"--identify", [](ConsoleOptions& o) { o.identify = o.console = true; }},
  };
  return flags;
}

const std::map<std::string, Valued>& ValuedOptions() {
  static const std::map<std::string, Valued> options{
      {"--dir", [](ConsoleOptions& o, const std::string& v) { return !(o.dir = v).empty(); }},
      {"--ports",
       [](ConsoleOptions& o, const std::string& v) {
         SplitPorts(v, o.ports);
         return !o.ports.empty();
       }},
      {"--model", [](ConsoleOptions& o, const std::string& v) { return ReadModel(v, o.model); }},
      {"--log",
       [](ConsoleOptions& o, const std::string& v) {
         o.console = true;
         return !(o.logFile = v).empty();
       }},
  };
  return options;
}

std::string CheckCombination(const ConsoleOptions& o) {
  if (o.model >= 0 && o.lab) return "--model and --lab exclude each other";
  if (o.identify && (o.model >= 0 || o.lab))
    return "--identify searches the instrument: no --model or --lab";
  return {};
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  ParsedCommandLine parsed;
  ConsoleOptions& o = parsed.options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    const std::size_t eq = name.find('=');
    const bool inlineValue = eq != std::string::npos && name.rfind("--", 0) == 0;
    if (inlineValue) {
      value = name.substr(eq + 1);
      name.resize(eq);
    }
    if (auto flag = Flags().find(name); flag != Flags().end() && !inlineValue) {
      flag->second(o);
      continue;
    }
    const auto valued = ValuedOptions().find(name);
    if (valued == ValuedOptions().end()) {
      parsed.error = "unknown option: " + args[i];
      return parsed;
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) {
        parsed.error = name + " needs a value";
        return parsed;
      }
      value = args[++i];
    }
    if (!valued->second(o, value)) {
      parsed.error = "invalid value for " + name + ": " + value;
      return parsed;
    }
  }
  parsed.error = CheckCombination(o);
  return parsed;
}

std::string HelpText() {
  return R"(Usage: instrument-updater [--console] [options]

Updates the firmware of a measuring instrument connected to a serial port.
Without --console the window opens (when this build has one).

Options:
  --console            run in the terminal instead of the window
  --dir DIR            DIR is the installation: configuration (Update.ini,
                       ProgDevice.ini), firmware files and readme documents.
                       Default: configuration and firmware from the working
                       directory, the firmware list from the program's folder
  --ports PATH,...     use these serial devices as COM1, COM2, ... instead of
                       discovering the ports (same as UPDATER_PORTS; "," or ":")
  --yes | --no         answer every question with Yes or No; without either a
                       question is asked on the terminal, and answered No
                       when there is no terminal
  --debug              show the commands and replies (debug mode)
  --no-version-check   also program an instrument with newer software
  --model N            program the instrument type N (0..3) of ProgDevice.ini
                       as the menu items "Multi 77x" .. "Cond 77x" do,
                       instead of searching the instrument
  --lab                program a Lab instrument (menu item "Lab XXX")
  --identify           search and identify the instrument as a run does, show
                       its identity, the version on offer and what the version
                       check would do, send it back to measuring and exit
                       without programming (implies --console)
  --log FILE           write everything the run does on the line to FILE as
                       it goes, each line with a millisecond time stamp:
                       commands, reply lines, boot-loader frames, line
                       settings, the result (implies --console; the window
                       offers Help > Save run log...)
  --list-ports         list the serial ports in COM order with their device,
                       stable name, USB ids and state, then exit
  --help               show this text
  --version            show the program version

Exit codes:
  0  the update finished successfully
  1  programming failed or was aborted
  2  not programmed by decision (wrong instrument, newer software, the user
     declined)
  3  no instrument found
  4  configuration error (Update.ini or ProgDevice.ini missing, no matching
     firmware file for --model or --lab)
  5  usage error
  130  interrupted (Ctrl+C; 128 + the signal's number, 143 for SIGTERM): the run
       stops after the frame on the line; a second one ends the program at once
  (with --identify: 0 identified, 2 refused as the wrong device, 3 none found;
   a search with no port that can be opened ends at once with 3)

Examples:
  instrument-updater --console --dir /opt/instruments/ph --yes
  instrument-updater --identify --ports /dev/ttyUSB0
  instrument-updater --console --log update.log
  instrument-updater --list-ports
)";
}

std::string VersionText() { return std::string(kProgramVersion) + "\n"; }

}  // namespace console
