// A whole data phase of each loader family against the paced simulator on a
// pseudo-terminal, at the family's real rate, against its limit: the time its
// bytes need on the wire plus the time the instrument's flash needs (as the
// simulator charges it). With the updater's CPU time and the median dead
// time per frame (from the end of a reply on the line to the first byte of
// the next frame at the simulator). Runs at real time unless
// UPDATER_TIME_SCALE says otherwise.
//
//   bench_loaders [classic] [5xx] [emf] [wince]     (all when none is named)
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "loaders/bsl430.h"
#include "loaders/bsl54xx430.h"
#include "loaders/emf_loader.h"
#include "loaders/wince_prog.h"
#include "platform/clock.h"
#include "recording_port.h"
#include "sim/emf_image.h"
#include "sim/image_builder.h"
#include "sim/presets.h"
#include "sim_rig.h"
#include "updater_rig.h"

namespace {

using loaders::test::RecordingPort;
using loaders::test::SimRig;
using loaders::test::UpdaterRig;
using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// A directory for one family's files, removed with everything in it at the
// end of the family's run, however it ends.
class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/bench-loaders-XXXXXX";
    if (::mkdtemp(pattern) != nullptr) path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Real time in seconds of logical time (real time unless UPDATER_TIME_SCALE is set).
double LogicalSeconds(std::chrono::nanoseconds real) {
  return std::chrono::duration<double>(real).count() * platform::TimeScale();
}

// What one family's run measured; times in seconds of logical time (real
// time unless UPDATER_TIME_SCALE is set).
struct Figures {
  const char* family = "";
  std::size_t bytes = 0;
  double phase = 0;     ///< the data phase, first frame to the last byte it needed
  double limit = 0;     ///< the wire time of the bytes that had to cross, plus `flash`
  double flash = 0;     ///< the time the instrument's flash was busy
  double run = 0;       ///< the whole Program call
  double cpu = 0;       ///< the updater's CPU time in it (the simulator's taken off)
  double simCpu = 0;    ///< the simulator's CPU time in it
  double dead = -1;     ///< median dead time per frame in milliseconds (-1: none measured)
  std::size_t frames = 0;  ///< exchanges the median is taken over
  double deadTotal = 0;    ///< the sum of the dead times
  double waits = 0;        ///< the part of it in the loader's deliberate waits (kWait and longer)
  std::size_t waitCount = 0;
  bool ok = false;
  std::string why;      ///< the loader's last message when it failed
};

// A dead time this long is a wait the loader keeps on purpose (its pauses
// around a rate change and before the start), not its reaction time.
constexpr auto kWait = std::chrono::milliseconds(500);

void Print(const Figures& f) {
  const double ratio = f.limit > 0 ? f.phase / f.limit : 0.0;
  const double unpaused = f.limit > 0 ? (f.phase - f.waits) / f.limit : 0.0;
  std::printf("%-8s %9zu bytes  data phase %7.1f s  limit %7.1f s (flash %4.1f s)  ratio %5.3f (%5.3f without %zu waits "
              "of %.1f s)  dead time median %5.2f ms of %zu, sum %5.2f s  whole %6.1f s  CPU %5.2f s (%4.2f %%), "
              "simulator %5.2f s%s\n",
              f.family, f.bytes, f.phase, f.limit, f.flash, ratio, unpaused, f.waitCount, f.waits, f.dead, f.frames,
              f.deadTotal, f.run, f.cpu, f.run > 0 ? 100.0 * f.cpu / f.run : 0.0, f.simCpu, f.ok ? "" : "  FAILED: ");
  if (!f.ok) std::printf("  %s\n", f.why.c_str());
}

// What the simulator saw in the data phase, once it has stopped: the flash's
// busy time and the dead times per frame.
void TakeSimulatorFigures(const SimRig& instrument, const RecordingPort& recorder, Figures& f) {
  f.flash = static_cast<double>(instrument.Instrument().Status().counters.flashMicros) / 1e6;
  const sim::DeadTime& dead = instrument.DeadTimes();
  const sim::DeadTime::Window phase{recorder.firstWrite, std::max(recorder.lastRead, recorder.lastWrite)};
  if (const auto median = dead.Median(phase)) f.dead = LogicalSeconds(*median) * 1000;
  const auto all = dead.AtLeast(std::chrono::nanoseconds::min(), phase);
  f.frames = all.count;
  f.deadTotal = LogicalSeconds(all.total);
  const auto waits =
      dead.AtLeast(std::chrono::duration_cast<std::chrono::nanoseconds>(kWait / platform::TimeScale()), phase);
  f.waits = LogicalSeconds(waits.total);
  f.waitCount = waits.count;
}

serial::BaudTag BaudTagOf(std::uint32_t rate) {
  for (int tag = serial::B__1200; tag <= serial::B256000; ++tag) {
    if (serial::BaudRateOf(static_cast<serial::BaudTag>(tag)) == rate) return static_cast<serial::BaudTag>(tag);
  }
  return serial::B__9600;
}

// Runs `program` against `instrument`, timing it and taking the simulator's
// CPU off, then stops the simulator and takes what it saw.
template <typename Program>
void Measure(SimRig& instrument, UpdaterRig& updater, const RecordingPort& recorder, Figures& f,
             Program&& program) {
  const double cpu0 = CpuSeconds();
  const double sim0 = instrument.CpuSeconds();
  const auto start = Clock::now();
  f.ok = program();
  if (!f.ok && !updater.view.boxes.empty()) f.why = updater.view.boxes.back();
  f.run = LogicalSeconds(Clock::now() - start);
  f.simCpu = instrument.CpuSeconds() - sim0;
  f.cpu = CpuSeconds() - cpu0 - f.simCpu;
  instrument.Stop();
  TakeSimulatorFigures(instrument, recorder, f);
}

// An MSP430 image of `bytes` bytes through the classic or the 5xx loader:
// code from the preset's code address up to the vectors, and what does not
// fit below them from 0x10000 on (the 5xx parts' flash goes on there).
Figures Msp430(const char* family, const char* preset, std::uint32_t bytes, bool five) {
  Figures f;
  f.family = family;
  const ScratchDir scratch;
  const std::string& dir = scratch.Path();
  sim::InstrumentConfig config = *sim::FindPreset(preset);
  sim::FirmwareImageSpec recipe = config.main.firmware;
  recipe.version = "9.87";
  recipe.codeSize = std::min<std::uint32_t>(bytes, 0xFF80 - recipe.codeAddress);
  recipe.startWord = !five;
  sim::MemoryImage image = sim::BuildFirmwareImage(recipe);
  std::vector<std::uint8_t> high(bytes - recipe.codeSize);
  for (std::size_t i = 0; i < high.size(); ++i) high[i] = static_cast<std::uint8_t>(i * 29 % 251);
  if (!high.empty()) image.push_back({0x10000, std::move(high)});
  f.bytes = bytes;
  std::ofstream(dir + "/FW.TXT", std::ios::binary) << sim::ToTiTxt(image);
  SimRig instrument(config, {}, true);
  UpdaterRig updater(instrument.SlavePath(), BaudTagOf(config.firmware.line.baud),
                     config.firmware.line.stopBits == 2 ? serial::S_2 : serial::S_1);
  if (!instrument.Error().empty() || !updater.Opened()) return f;
  updater.record.ProzTyp = five ? 0x5438 : 0;
  RecordingPort recorder(updater.Link(), five);
  const loaders::LoaderContext context = updater.LoaderServices::Context(recorder, dir);
  Measure(instrument, updater, recorder, f, [&] {
    if (five) return loaders::T_BSL_54XX_430(context).Program(0, "FW.TXT", true, true) == 1;
    return loaders::T_BSL430(context).Program(0, "FW.TXT", true, true) == 1;
  });
  f.phase = LogicalSeconds(recorder.lastRead - recorder.firstWrite);
  f.limit = recorder.wireOut + recorder.wireIn + f.flash;
  return f;
}

// A 256 KB .BIN image through the EMF boot loader, XMODEM-CRC at 115200 8N2.
Figures Emf() {
  Figures f;
  f.family = "emf";
  const ScratchDir scratch;
  const std::string& dir = scratch.Path();
  const sim::InstrumentConfig config = *sim::FindPreset("emf");
  sim::FirmwareImageSpec recipe = config.main.firmware;
  recipe.version = "9.87";
  recipe.codeSize = 256 * 1024;
  const std::vector<std::uint8_t> image = sim::BuildEmfImage(recipe);
  f.bytes = image.size();
  std::ofstream(dir + "/EMF1.BIN", std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  SimRig instrument(config, {}, true);
  UpdaterRig updater(instrument.SlavePath(), BaudTagOf(config.firmware.line.baud), serial::S_2);
  if (!instrument.Error().empty() || !updater.Opened()) return f;
  RecordingPort recorder(updater.Link(), false);
  recorder.phaseFromBytes = 133;  // the data phase begins with the first XMODEM block
  loaders::T_EMFLoader loader(updater.LoaderServices::Context(recorder, dir));
  Measure(instrument, updater, recorder, f, [&] { return loader.Program(loaders::EmfArgs{0, "EMF1.BIN", false}) == 1; });
  f.phase = LogicalSeconds(recorder.lastRead - recorder.firstWrite);
  f.limit = recorder.wireOut + recorder.wireIn;
  return f;
}

// Three files of 1 MB through the WinCE file transfer.
Figures WinCE() {
  Figures f;
  f.family = "wince";
  const ScratchDir scratch;
  const std::string& dir = scratch.Path();
  const char* const names[] = {"MAIN.EXE", "SECOND.DLL", "THIRD.DAT"};
  for (const char* name : names) {
    std::string content(1 << 20, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 13 % 256);
    std::ofstream(dir + "/" + name, std::ios::binary) << content;
    f.bytes += content.size();
  }
  SimRig instrument(*sim::FindPreset("wince"), {}, true);
  UpdaterRig updater(instrument.SlavePath(), serial::B__9600, serial::S_2);
  if (!instrument.Error().empty() || !updater.Opened()) return f;
  updater.record.ExtraFiles[0] = names[1];
  updater.record.ExtraFiles[1] = names[2];
  updater.record.ExtraFileCount = 2;
  RecordingPort recorder(updater.Link(), false);
  loaders::TWinCEProg loader(updater.LoaderServices::Context(recorder, dir));
  Measure(instrument, updater, recorder, f, [&] { return loader.Program(loaders::WinCEArgs{names[0], false}) == 1; });
  // The answers reach the reply parser, not the recorder: the copy is timed
  // from the first frame to the last.
  f.phase = LogicalSeconds(recorder.lastWrite - recorder.firstWrite);
  f.limit = recorder.wireOut;
  return f;
}

struct Family {
  const char* name;
  std::function<Figures()> run;
};

}  // namespace

int main(int argc, char** argv) {
  const std::vector<Family> families = {
      {"classic", [] { return Msp430("classic", "msp430-classic", 0xBC00, false); }},  // 48 KB
      {"5xx", [] { return Msp430("5xx", "msp430-5xx", 0x20000, true); }},              // 128 KB
      {"emf", [] { return Emf(); }},
      {"wince", [] { return WinCE(); }},
  };
  std::vector<std::string> chosen(argv + 1, argv + argc);
  int status = 0;
  for (const Family& family : families) {
    bool wanted = chosen.empty();
    for (const std::string& name : chosen) wanted = wanted || name == family.name;
    if (!wanted) continue;
    const Figures figures = family.run();
    Print(figures);
    std::fflush(stdout);
    if (!figures.ok) status = 1;
  }
  return status;
}
