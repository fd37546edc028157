#include "sim/presets.h"

#include <array>
#include <charconv>
#include <cstdlib>

namespace sim {
namespace {

InstrumentConfig ClassicPreset() {
  InstrumentConfig config;
  config.preset = "msp430-classic";
  config.main.part = FindPart("f1611");
  config.main.firmware = {"1.10", 0x1080, 0x4000, 0x0C00, 0, false};
  config.firmware.line = {9600, 2, false};
  return config;
}

InstrumentConfig FiveXxPreset() {
  InstrumentConfig config;
  config.preset = "msp430-5xx";
  config.main.part = FindPart("f5438");
  config.main.firmware = {"2.00", 0x5C00, 0x5C10, 0x1000, 0, true};
  config.firmware.line = {19200, 2, false};
  config.firmware.replies = {203, 200, 201, 205};
  config.firmware.pcbNumber = "61005.200";
  config.firmware.deviceNumber = "61005.000";
  config.firmware.serialNumber = "22050017";
  return config;
}

// A Lab instrument that waits in its boot loader; its reset vector points at
// that resident loader, which starts the application.
InstrumentConfig LabPreset() {
  InstrumentConfig config;
  config.preset = "lab";
  config.main.part = FindPart("f5438");
  config.main.firmware = {"3.00", 0x5C00, 0x5C10, 0x0800, 0x1000, false};
  config.startInBootLoader = true;
  config.firmware.line = {4800, 2, false};
  config.firmware.pcbNumber = "70100.100";
  config.firmware.deviceNumber = "70100.000";
  config.firmware.serialNumber = "31000042";
  return config;
}

// A WinCE instrument: its application takes new files over the command line
// (wince_firmware.h). The version it reports is kept, as on the other
// presets, in the flash of its board processor.
InstrumentConfig WincePreset() {
  InstrumentConfig config;
  config.preset = "wince";
  config.main.part = FindPart("f1611");
  config.main.firmware = {"4.10", 0x1080, 0x4000, 0x0400, 0, false};
  config.firmware.line = {9600, 2, false};
  config.firmware.pcbNumber = "52300.100";
  config.firmware.deviceNumber = "52300.000";
  config.firmware.serialNumber = "52000123";
  config.firmware.startupVersion = "1.00";
  config.wince = WinceConfig{};
  return config;
}

// An instrument whose firmware is a binary image in an EMF processor, which
// its boot loader takes by XMODEM-CRC. The image at power-on is built from
// the recipe of `main` (version and code size); the MSP430 part of `main`
// only answers the MSP430 commands of the text protocol, which this
// instrument's updates do not use.
InstrumentConfig EmfPreset() {
  InstrumentConfig config;
  config.preset = "emf";
  config.main.part = FindPart("f5438");
  config.main.firmware = {"1.00", 0x5C00, 0x5C10, 0x2000, 0, false};
  config.emf = EmfConfig{};
  config.firmware.line = {9600, 2, false};
  config.firmware.pcbNumber = "40200.100";
  config.firmware.deviceNumber = "40200.000";
  config.firmware.serialNumber = "41000077";
  return config;
}

// An instrument programmed from Motorola S-records through the maker's
// updater library (or the HEXLoad tool): the entry command A.1200 hands the
// line to its boot loader.
InstrumentConfig M16Preset() {
  InstrumentConfig config;
  config.preset = "m16";
  config.main.part = FindPart("m16");
  config.main.firmware = {"1.00", 0x8000, 0x8010, 0x1000, 0, false};
  config.firmware.line = {19200, 2, false};
  config.firmware.pcbNumber = "41600.100";
  config.firmware.deviceNumber = "41600.000";
  config.firmware.serialNumber = "16011234";
  return config;
}

// An instrument programmed from Intel HEX files through the PIC32 tool.
InstrumentConfig Pic32Preset() {
  InstrumentConfig config;
  config.preset = "pic32";
  config.main.part = FindPart("pic32");
  config.main.firmware = {"2.00", 0x4000, 0x4010, 0x1000, 0, false};
  config.firmware.line = {9600, 2, false};
  config.firmware.replies = {203, 200, 201, 205};
  config.firmware.pcbNumber = "53200.100";
  config.firmware.deviceNumber = "53200.000";
  config.firmware.serialNumber = "32020077";
  return config;
}

// An instrument with a terminal as its second component; the terminal is
// programmed through its Basic-Loader from S-records.
InstrumentConfig BasicLoaderPreset() {
  InstrumentConfig config;
  config.preset = "basic-loader";
  config.main.part = FindPart("f1611");
  config.main.firmware = {"2.00", 0x1080, 0x4000, 0x0C00, 0, false};
  config.firmware.line = {9600, 2, false};
  config.firmware.pcbNumber = "21200.100";
  config.firmware.deviceNumber = "21200.000";
  config.firmware.serialNumber = "41000007";
  config.terminal = TerminalConfig{};
  return config;
}

struct PresetEntry {
  std::string_view name;
  InstrumentConfig (*make)();
};

constexpr std::array<PresetEntry, 8> kPresets{{
    {"msp430-classic", &ClassicPreset},
    {"msp430-5xx", &FiveXxPreset},
    {"lab", &LabPreset},
    {"wince", &WincePreset},
    {"emf", &EmfPreset},
    {"m16", &M16Preset},
    {"pic32", &Pic32Preset},
    {"basic-loader", &BasicLoaderPreset},
}};

bool ParseNumber(std::string_view text, std::uint32_t& out) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    base = 16;
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out, base);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

using Setter = std::string (*)(InstrumentConfig&, std::string_view);

std::string SetNumber(std::uint32_t& field, std::string_view value) {
  return ParseNumber(value, field) ? "" : "not a number: " + std::string(value);
}

std::string SetBool(bool& field, std::string_view value) {
  if (value != "0" && value != "1") return "expected 0 or 1: " + std::string(value);
  field = value == "1";
  return "";
}

std::string SetPart(ComponentConfig& component, std::string_view value) {
  const PartGeometry* part = FindPart(value);
  if (part == nullptr) return "unknown part: " + std::string(value);
  component.part = part;
  return "";
}

std::string SetFamily(InstrumentConfig& c, std::string_view v) {
  if (v == "23") c.firmware.replies = {23, 20, 21, 25};
  else if (v == "203") c.firmware.replies = {203, 200, 201, 205};
  else if (v == "2013") c.firmware.replies = {2013, 2010, 2011, 205};
  else return "family must be 23, 203 or 2013";
  return "";
}

std::string SetSensor(InstrumentConfig& c, std::string_view v) {
  if (v == "none") {
    c.sensor.reset();
    return "";
  }
  ComponentConfig sensor;
  sensor.firmware = {"1.00", 0x1080, 0x1100, 0x0400, 0, false};
  if (std::string error = SetPart(sensor, v); !error.empty()) return error;
  c.sensor = sensor;
  return "";
}

std::string NeedSensor(InstrumentConfig& c) { return c.sensor ? "" : "set sensor=PART first"; }
std::string NeedWince(InstrumentConfig& c) { return c.wince ? "" : "only the wince preset takes files"; }

// Keys of the terminal exist only for an instrument that has one.
using TerminalSetter = std::string (*)(TerminalConfig&, std::string_view);

std::string SetTerminal(InstrumentConfig& c, std::string_view v, TerminalSetter set) {
  return c.terminal ? set(*c.terminal, v) : "only the basic-loader preset has a terminal";
}

std::string SetReply208(TerminalConfig& t, std::string_view v) {
  if (v.empty()) return "reply_208 needs a text";
  t.reply208 = v;
  return "";
}

std::string SetLoaderVersion(TerminalConfig& t, std::string_view v) {
  if (v != "1.01" && v != "1.02") return "loader_version must be 1.01 or 1.02";
  t.loaderVersion = v;
  return "";
}

std::string SetTerminalVersion(TerminalConfig& t, std::string_view v) {
  if (v.empty() || v.size() >= kTerminalVersionBytes) return "terminal_version must have 1 to 5 characters";
  t.firmware.version = v;
  return "";
}

std::string SetStopBits(InstrumentConfig& c, std::string_view v) {
  if (v != "1" && v != "2") return "stop_bits must be 1 or 2";
  c.firmware.line.stopBits = static_cast<std::uint8_t>(v[0] - '0');
  return "";
}

std::string SetRunning(InstrumentConfig& c, std::string_view v) {
  if (v != "firmware" && v != "bootloader") return "running must be firmware or bootloader";
  c.startInBootLoader = v == "bootloader";
  return "";
}

std::string SetPrefix(InstrumentConfig& c, std::string_view v) {
  if (v != "I." && v != "B.") return "prefix must be I. or B.";
  c.firmware.prefix = v;
  return "";
}

std::string SetMs(SimTick& field, std::string_view v) {
  std::uint32_t value = 0;
  if (!ParseNumber(v, value)) return "not a number: " + std::string(v);
  field = value;
  return "";
}

struct Key {
  std::string_view name;
  std::string_view help;
  Setter set;
};

// clang-format off
std::string SetAnnouncement(InstrumentConfig& c, std::string_view v) {
  if (v.empty()) {
    c.announcement.reset();
    return "";
  }
  c.announcement = ParseAnnouncement(v);
  return c.announcement ? "" : "announce must be h00h:TEXT, h11h:TEXT or h,,h:TEXT";
}

std::string SetEmfBootLoaderVersion(InstrumentConfig& c, std::string_view v) {
  if (!c.emf) return "bootloader_version is for the emf preset";
  if (v.empty()) return "bootloader_version needs a version text";
  c.emf->bootLoaderVersion = v;
  return "";
}

constexpr std::array<Key, 38> kKeys{{
  {"part", "processor of the instrument: f149, f449, f1611, f2618, f5438, m16, pic32",
   [](InstrumentConfig& c, std::string_view v) { return SetPart(c.main, v); }},
  {"version", "firmware version in the instrument's flash at power-on",
   [](InstrumentConfig& c, std::string_view v) { c.main.firmware.version = v; return std::string(); }},
  {"version_address", "flash address of the version text",
   [](InstrumentConfig& c, std::string_view v) { return SetNumber(c.main.firmware.versionAddress, v); }},
  {"code_address", "flash address of the program code",
   [](InstrumentConfig& c, std::string_view v) { return SetNumber(c.main.firmware.codeAddress, v); }},
  {"entry", "reset vector of the initial firmware (0: the code address)",
   [](InstrumentConfig& c, std::string_view v) { return SetNumber(c.main.firmware.entry, v); }},
  {"start_word", "1: the initial firmware also holds the entry at 0xFFFC",
   [](InstrumentConfig& c, std::string_view v) { return SetBool(c.main.firmware.startWord, v); }},
  {"blank", "1: the flash is erased at power-on (a bricked instrument)",
   [](InstrumentConfig& c, std::string_view v) { return SetBool(c.main.blank, v); }},
  {"running", "firmware or bootloader: what has the line at power-on",
   &SetRunning},
  {"baud", "bit rate of the running firmware",
   [](InstrumentConfig& c, std::string_view v) { return SetNumber(c.firmware.line.baud, v); }},
  {"stop_bits", "stop bits of the running firmware: 1 or 2",
   &SetStopBits},
  {"family", "identification replies: 23 (23/20/21/25), 203 (203/200/201/205), 2013 (2013/2010/2011/205)",
   &SetFamily},
  {"prefix", "prefix of numbered replies: I. or B.",
   &SetPrefix},
  {"comma_prefix", "answer identification values as PREFIX,VALUE (empty: plain)",
   [](InstrumentConfig& c, std::string_view v) { c.firmware.commaPrefix = v; return std::string(); }},
  {"pcb", "PCB number (answer to A.2003)",
   [](InstrumentConfig& c, std::string_view v) { c.firmware.pcbNumber = v; return std::string(); }},
  {"device", "device number (answer to A.2000)",
   [](InstrumentConfig& c, std::string_view v) { c.firmware.deviceNumber = v; return std::string(); }},
  {"serial", "serial number (answer to A.4001)",
   [](InstrumentConfig& c, std::string_view v) { c.firmware.serialNumber = v; return std::string(); }},
  {"second_version", "second version reported after \",\" when there is no sensor processor",
   [](InstrumentConfig& c, std::string_view v) { c.firmware.secondVersion = v; return std::string(); }},
  {"startup_version", "answer (reply 2011) to A.2100; empty: \"?\"",
   [](InstrumentConfig& c, std::string_view v) { c.firmware.startupVersion = v; return std::string(); }},
  {"self_update_version", "second version after the instrument ran A.2005",
   [](InstrumentConfig& c, std::string_view v) { c.firmware.selfUpdateVersion = v; return std::string(); }},
  {"self_update_report", "line sent when A.2005 has finished (default I.31#)",
   [](InstrumentConfig& c, std::string_view v) { c.firmware.selfUpdateReport = v; return std::string(); }},
  {"announce", "boot loader answers probe frames with HEADER:TEXT (h00h, h11h, h,,h)",
   &SetAnnouncement},
  {"sensor", "processor of the sensor (component 1), or none",
   &SetSensor},
  {"sensor_version", "firmware version in the sensor's flash at power-on",
   [](InstrumentConfig& c, std::string_view v) {
     std::string error = NeedSensor(c);
     if (error.empty()) c.sensor->firmware.version = v;
     return error; }},
  {"boot_ms", "milliseconds from load PC until the new firmware reports",
   [](InstrumentConfig& c, std::string_view v) { return SetMs(c.bootMs, v); }},
  {"reply_ms", "milliseconds the firmware takes to answer a command",
   [](InstrumentConfig& c, std::string_view v) { return SetMs(c.firmware.replyMs, v); }},
  {"self_update_ms", "milliseconds the instrument takes for A.2005",
   [](InstrumentConfig& c, std::string_view v) { return SetMs(c.firmware.selfUpdateMs, v); }},
  {"rate_ack_ms", "wince: 0 acknowledges A.1300 at the old rate, then switches; N switches and acknowledges N ms later",
   [](InstrumentConfig& c, std::string_view v) {
     std::string error = NeedWince(c);
     return error.empty() ? SetMs(c.wince->rateAckMs, v) : error; }},
  {"reject_text", "wince: text of reply 261 when the instrument gives a file up (not 2)",
   [](InstrumentConfig& c, std::string_view v) {
     std::string error = NeedWince(c);
     if (error.empty() && v == "2") error = "reject_text 2 would ask for the block again";
     if (error.empty()) c.wince->rejectText = v;
     return error; }},
  {"holds", "wince: a file the instrument already has; its header gets reply 260 (repeatable)",
   [](InstrumentConfig& c, std::string_view v) {
     std::string error = NeedWince(c);
     if (error.empty() && v.empty()) error = "holds needs a file name";
     if (error.empty()) c.wince->heldFiles.emplace_back(v);
     return error; }},
  {"bootloader_version", "emf: answer (reply 251) to A.2051; from 1.06 on commands need the 5836 line",
   &SetEmfBootLoaderVersion},
  {"bootloader_start_ms", "emf: milliseconds from the answer to A.1250#d until its boot loader listens",
   [](InstrumentConfig& c, std::string_view v) {
     return c.emf ? SetMs(c.emf->startMs, v) : std::string("bootloader_start_ms is for the emf preset"); }},
  {"reply_208", "terminal: text of reply 208 after A.2005 (\"0\": L3_TermH.A37, else L3_TermL.A37)",
   [](InstrumentConfig& c, std::string_view v) { return SetTerminal(c, v, &SetReply208); }},
  {"loader_version", "terminal: Basic-Loader 1.01 or 1.02 (its texts)",
   [](InstrumentConfig& c, std::string_view v) { return SetTerminal(c, v, &SetLoaderVersion); }},
  {"terminal_version", "terminal: firmware version in its flash at power-on",
   [](InstrumentConfig& c, std::string_view v) { return SetTerminal(c, v, &SetTerminalVersion); }},
  {"terminal_blank", "terminal: 1: its flash holds no firmware at power-on (a download broke)",
   [](InstrumentConfig& c, std::string_view v) {
     return SetTerminal(c, v, [](TerminalConfig& t, std::string_view b) { return SetBool(t.blank, b); }); }},
  {"end_bytes", "terminal: 1: the loader ends with the bytes A1 48 20 14 instead of a line",
   [](InstrumentConfig& c, std::string_view v) {
     return SetTerminal(c, v, [](TerminalConfig& t, std::string_view b) { return SetBool(t.endBytes, b); }); }},
  {"loader_start_ms", "terminal: milliseconds from the answer to A.1220 until the loader's first line",
   [](InstrumentConfig& c, std::string_view v) {
     return SetTerminal(c, v, [](TerminalConfig& t, std::string_view ms) { return SetMs(t.startMs, ms); }); }},
  {"erase_ms", "terminal: milliseconds the loader takes to erase one flash bank",
   [](InstrumentConfig& c, std::string_view v) {
     return SetTerminal(c, v, [](TerminalConfig& t, std::string_view ms) { return SetMs(t.eraseMs, ms); }); }},
}};
// clang-format on

// "extra.NNNN=LINE": a further line after the answer to command NNNN.
std::string SetExtraLine(InstrumentConfig& config, std::string_view number, std::string_view line) {
  std::uint32_t command = 0;
  if (!ParseNumber(number, command)) return "extra needs a command number: extra.2001=LINE";
  config.firmware.extraLines[static_cast<int>(command)].emplace_back(line);
  return "";
}

}  // namespace

std::optional<InstrumentConfig> FindPreset(std::string_view name) {
  for (const PresetEntry& entry : kPresets) {
    if (entry.name == name) return entry.make();
  }
  return std::nullopt;
}

std::vector<std::string_view> PresetNames() {
  std::vector<std::string_view> names;
  for (const PresetEntry& entry : kPresets) names.push_back(entry.name);
  return names;
}

std::string ApplySetting(InstrumentConfig& config, std::string_view assignment) {
  const std::size_t equals = assignment.find('=');
  if (equals == std::string_view::npos) return "expected KEY=VALUE: " + std::string(assignment);
  const std::string_view key = assignment.substr(0, equals);
  const std::string_view value = assignment.substr(equals + 1);
  if (key.starts_with("extra.")) return SetExtraLine(config, key.substr(6), value);
  for (const Key& entry : kKeys) {
    if (entry.name == key) return entry.set(config, value);
  }
  return "unknown key: " + std::string(key);
}

std::vector<std::string_view> SettingHelp() {
  std::vector<std::string_view> lines;
  for (const Key& entry : kKeys) {
    lines.push_back(entry.name);
    lines.push_back(entry.help);
  }
  lines.push_back("extra.NNNN");
  lines.push_back("a further line sent after the answer to command NNNN (repeatable)");
  return lines;
}

}  // namespace sim
