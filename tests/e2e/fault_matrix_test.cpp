// Every programming family against every way the line can fail, as whole
// console sessions (--yes) on the simulated instrument. A cell passes only
// when the run either recovers (the instrument's memory holds exactly the
// image and it reports the new version) or fails cleanly: the family's abort
// text, and a second run without the fault, after the user has done what the
// abort text says, updates the instrument; the session then gives the port
// back with the settings it had. Success with wrong memory, a hang or a
// crash fails.
//
// With FAULT_MATRIX_REPORT set, each cell appends a line to that file:
// family, fault, outcome, seconds to the end of the first run, the last
// message of the first run, and the user's action with the second run
// (scripts/reliability makes docs/reliability.md).
#include <gtest/gtest.h>
#include <termios.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <istream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "console_sim_run.h"
#include "image_compare.h"

namespace console {
namespace {

const bool kFastClock = ::setenv("UPDATER_TIME_SCALE", "20", 1) == 0;

enum Fault {
  kNakOnce,
  kNakPastRetries,
  kBadChecksum,
  kCorruptReadBack,
  kGarbage,
  kSilence,
  kPortLost,
  kPowerLost,  ///< the instrument's power fails in the data phase and returns at once
  kFaults
};

constexpr std::array<const char*, kFaults> kFaultNames{"NakOnce", "NakPastRetries", "BadChecksum", "CorruptReadBack",
                                                      "Garbage", "Silence",        "PortLost",    "PowerLost"};

// How an independent tool (srec_cat) reads a firmware file, or null for a
// file the instrument keeps as it is.
struct Image {
  const char* file;
  const char* format;  ///< srec_cat's input format option
};

struct Family {
  const char* name;
  const char* preset;  ///< the simulator's preset and the sample installation's folder
  Image image;
  const char* version;      ///< what state.json reports once the new firmware runs
  const char* lastCommand;  ///< the last command of a successful run
  /// What the user does to the instrument after a failure before starting
  /// again: the abort text's "off, and on with PRG held", unless the family
  /// talks to the running system, which PRG would keep from starting.
  const char* restart;
  const char* abortText;  ///< how the family's failure ends (alternatives separated by "|")
  /// The simulator's fault rules per fault; empty where the family has no
  /// such thing to go wrong (no checksum in its replies, no read-back).
  std::array<std::vector<std::string>, kFaults> rules;
};

const Family kFamilies[] = {
    {"classic", "msp430-classic", {"MC1.TXT", "-ti-txt"}, "\"firmware_version\": \"1.20\"", "A.1000", "power-cycle boot-key", "Programming was aborted.",
     {{{"nak:rx@3"}, {"nak:rx@3+"}, {"badsum:tx@2"}, {"corrupt:tx@2"}, {"garbage:rx@5"}, {"silence:rx@5"},
       {"unplug:rx@5"}, {"power:rx@5"}}}},
    {"5xx", "msp430-5xx", {"MF5.TXT", "-ti-txt"}, "\"firmware_version\": \"2.10\"", "A.1000", "power-cycle boot-key", "Programming was aborted.",
     {{{"nak:rx@3"}, {"nak:rx@3+"}, {"badsum:tx@2"}, {"corrupt:tx@2"}, {"garbage:rx@5"}, {"silence:rx@5"},
       {"unplug:rx@5"}, {"power:rx@5"}}}},
    {"emf", "emf", {"EMF1.BIN", nullptr}, "\"firmware_version\": \"1.10\"", "r", "power-cycle", "Programming was aborted.",
     {{{"nak:xmodem@3"}, {"nak:xmodem@3+"}, {"corrupt:crc-reply"}, {"corrupt:xmodem@2"}, {"garbage:xmodem@5"},
       {"silence:xmodem@5"}, {"unplug:xmodem@5"}, {"power:xmodem@5"}}}},
    // The Basic-Loader's replies carry no checksum and it reads nothing back.
    {"basic-loader", "basic-loader", {"L3_TermH.A37", "-motorola"}, "\"second_version\": \"1.30\"", "A.1220", "power-cycle", "Programming abort !",
     {{{"nak:record@40"}, {"nak:record@40+"}, {}, {}, {"garbage:record@40"}, {"silence:record@40"},
       {"unplug:record@40"}, {"power:record@40"}}}},
    // WinCE frames carry a checksum the instrument checks; nothing is read back.
    {"wince", "wince", {"WINCEAPP.EXE,HELPER.DLL,TARVOSTARTUP.EXE,SETTINGS.DAT", nullptr}, "\"firmware_version\": \"4.20\"", "A.1000", "power-cycle", "Programming was aborted.",
     {{{"nak:frame@2"}, {"nak:frame@2+"}, {"corrupt:frame@2"}, {}, {"garbage:frame@3"}, {"silence:frame@3"},
       {"unplug:frame@3"}, {"power:frame@3"}}}},
    {"m16", "m16", {"M16FW.MOT", "-motorola"}, "\"firmware_version\": \"1.10\"", "A.1000", "power-cycle boot-key", "Programming was aborted.",
     {{{"nak:write@5"}, {"nak:write@5+"}, {"badsum:write@5"}, {"corrupt:read@2"}, {"garbage:write@5"},
       {"silence:write@5"}, {"unplug:write@5"}, {"power:write@5"}}}},
    {"pic32", "pic32", {"P32FW.HEX", "-intel"}, "\"firmware_version\": \"2.10\"", "A.1000", "power-cycle boot-key", "Programming was aborted.",
     {{{"nak:program@5"}, {"nak:program@5+"}, {"badsum:crc"}, {"corrupt:crc"}, {"garbage:program@5"},
       {"silence:program@5"}, {"unplug:program@5"}, {"power:program@5"}}}},
};

// Where the first of the family's failure texts begins in `text`; npos when none is there.
std::size_t FindAbortText(const std::string& text, const Family& family) {
  std::stringstream alternatives(family.abortText);
  for (std::string alternative; std::getline(alternatives, alternative, '|');) {
    if (const std::size_t at = text.find(alternative); at != std::string::npos) return at;
  }
  return std::string::npos;
}

struct Cell {
  const Family* family;
  Fault fault;
};

using testing::CompareWithImage;
using testing::Slurp;

// Empty when the instrument's memory holds the family's image.
std::string MemoryVerdict(const Family& family, const std::string& install, const updater::testing::TempInstallation& dump) {
  const std::string file = install + "/" + family.image.file;
  if (family.image.format != nullptr) return CompareWithImage(dump.Read("flash.bin"), file, family.image.format, dump.Path());
  if (std::string(family.preset) != "wince") {
    // The EMF processor keeps the .BIN from its start.
    const std::string content = Slurp(file);
    return dump.Read("flash.bin").substr(0, content.size()) == content ? "" : "the flash does not hold " + file;
  }
  // The WinCE instrument keeps each file of the list whole.
  std::stringstream names(family.image.file);
  for (std::string name; std::getline(names, name, ',');) {
    if (dump.Read("wince/" + name) != Slurp(install + "/" + name)) return "the instrument does not hold " + name;
  }
  return "";
}

struct PortSettings {
  bool read = false;
  termios settings{};
  bool operator==(const PortSettings& other) const {
    return read && other.read && settings.c_iflag == other.settings.c_iflag &&
           settings.c_oflag == other.settings.c_oflag && settings.c_cflag == other.settings.c_cflag &&
           settings.c_lflag == other.settings.c_lflag && cfgetospeed(&settings) == cfgetospeed(&other.settings);
  }
};

// What another program finds on the port: `change` first sets a mark of its own.
PortSettings PortSettingsOf(const std::string& port, bool change) {
  PortSettings found;
  const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return found;
  termios settings{};
  if (::tcgetattr(fd, &settings) == 0) {
    if (change) {
      ::cfsetospeed(&settings, B4800);
      ::cfsetispeed(&settings, B4800);
      settings.c_cflag |= CSTOPB;
      ::tcsetattr(fd, TCSANOW, &settings);
    }
    found.read = ::tcgetattr(fd, &found.settings) == 0;
  }
  ::close(fd);
  return found;
}

std::string LastLine(const std::string& text) {
  std::size_t end = text.find_last_not_of("\r\n ");
  if (end == std::string::npos) return "";
  const std::size_t start = text.find_last_of('\n', end);
  return text.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
}

void Report(const Cell& cell, const char* outcome, double seconds, const std::string& message,
            const std::string& secondRun = "not needed") {
  const char* path = std::getenv("FAULT_MATRIX_REPORT");
  if (path == nullptr) return;
  std::ofstream(path, std::ios::app) << cell.family->name << '\t' << kFaultNames[cell.fault] << '\t' << outcome
                                     << '\t' << seconds << '\t' << message << '\t' << secondRun << '\n';
}

// The user's action and the second run, as the reliability table shows them.
std::string SecondRun(const Family& family, bool startedAnew, double seconds) {
  const std::string action = std::string(family.restart) == "power-cycle boot-key"
                                 ? "off, on with PRG held"
                                 : "off and on";
  char took[32];
  std::snprintf(took, sizeof took, "%.1f", seconds);
  return action + (startedAnew ? ", program started anew" : ", OK") + ": updated in " + took + " s";
}

double SecondsSince(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// The user at the terminal. Asked the first time whether to start again, he
// first does what the abort text says (`act`), then answers yes; asked again,
// no. Until then the session waits on him, as a console session waits on its
// terminal.
class Operator : public std::streambuf {
 public:
  explicit Operator(std::function<void()> act) : act_(std::move(act)) {}
  bool Asked() const { return asked_ > 0; }

 protected:
  int_type underflow() override {
    if (asked_++ == 0) act_();
    line_ = asked_ == 1 ? "y\n" : "n\n";
    setg(line_.data(), line_.data(), line_.data() + line_.size());
    return traits_type::to_int_type(line_[0]);
  }

 private:
  std::function<void()> act_;
  int asked_ = 0;
  std::string line_;
};

class FaultMatrix : public ::testing::TestWithParam<Cell> {};

TEST_P(FaultMatrix, EndsRecoveredOrFailedCleanly) {
  ASSERT_TRUE(kFastClock);
  if (std::system("srec_cat -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "srec_cat is not installed";
  const Cell& cell = GetParam();
  const Family& family = *cell.family;
  updater::testing::TempInstallation install;
  updater::testing::TempInstallation dump;
  std::filesystem::copy(std::string(EXAMPLES_DIR) + "/" + family.preset, install.Path(),
                        std::filesystem::copy_options::recursive);
  // The updater looks for the maker's library and tools next to itself.
  for (const char* standIn : {"libVorloM16Updater.so", "HEXLoad_8N1", "PIC32_Serial_Bootloader"}) {
    std::filesystem::copy(std::string(STANDIN_DIR) + "/" + standIn, install.Path());
  }
  const std::string port = dump.Path() + "/port";
  updater::testing::Simulator sim(dump.Path(), {}, family.rules[cell.fault], family.preset, port);
  ASSERT_FALSE(sim.Pty().empty());
  const PortSettings before = PortSettingsOf(port, true);
  ASSERT_TRUE(before.read);

  // After a failure the user switches the instrument off and on (with the PRG
  // key held, as the abort text asks), and the line is sound again. Where the
  // family's text asks for a new start of the program instead of offering to
  // start again, he starts it anew.
  const auto start = std::chrono::steady_clock::now();
  auto acted = start;
  double seconds = 0;
  bool actedOk = false;
  const auto restart = [&] {
    seconds = SecondsSince(start);
    actedOk = sim.Act("clear-faults") && sim.Act(family.restart);
    acted = std::chrono::steady_clock::now();
  };
  Operator user(restart);
  std::istream terminal(&user);
  std::string out;
  int code = testing::RunConsoleOn(port, install.Path(), out, &terminal);
  const bool failedFirst = user.Asked() || code != kExitSuccess;
  const std::string first = user.Asked() ? out.substr(0, out.find("Start the update again?")) : out;
  if (!user.Asked()) seconds = SecondsSince(start);
  const bool startedAnew = !user.Asked() && code == kExitFailed;
  if (startedAnew) {
    restart();
    std::string again;
    code = testing::RunConsoleOn(port, install.Path(), again);
    out += "\n--- the program started anew:\n" + again;
  }
  testing::AwaitCommand(dump, family.lastCommand);
  const std::string state = dump.Read("state.json");
  EXPECT_EQ(state.find("\"faults\": 0}"), std::string::npos) << "the fault never fired";

  // Either run's success must leave exactly the image in the instrument.
  ASSERT_EQ(code, kExitSuccess) << out;
  EXPECT_EQ(MemoryVerdict(family, install.Path(), dump), "") << out;
  EXPECT_NE(state.find(family.version), std::string::npos) << state;
  if (cell.fault != kPortLost) {
    EXPECT_TRUE(PortSettingsOf(port, false) == before) << "the port's settings were not given back";
  }
  if (!failedFirst) {
    Report(cell, "recovered", seconds, LastLine(out));
    return;
  }
  ASSERT_TRUE(actedOk);
  const std::size_t abort = FindAbortText(first, family);
  EXPECT_NE(abort, std::string::npos) << out;
  Report(cell, "failed cleanly", seconds, LastLine(first.substr(0, abort)),
         SecondRun(family, startedAnew, SecondsSince(acted)));
}

std::vector<Cell> Cells() {
  std::vector<Cell> cells;
  for (const Family& family : kFamilies) {
    for (int fault = 0; fault < kFaults; ++fault) {
      if (!family.rules[fault].empty()) cells.push_back({&family, static_cast<Fault>(fault)});
    }
  }
  return cells;
}

INSTANTIATE_TEST_SUITE_P(Lines, FaultMatrix, ::testing::ValuesIn(Cells()), [](const auto& info) {
  std::string name = std::string(info.param.family->name) + "_" + kFaultNames[info.param.fault];
  for (char& c : name) {
    if (c == '-') c = '_';
  }
  return name;
});

}  // namespace
}  // namespace console
