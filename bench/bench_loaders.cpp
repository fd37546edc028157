// A whole data phase of each loader family against the paced simulator on a
// pseudo-terminal, at the family's real rate, against the time its bytes need
// on the wire, with the updater's CPU time. Runs at real time unless
// UPDATER_TIME_SCALE says otherwise.
//
//   bench_loaders [classic] [5xx] [wince]     (all when none is named)
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "loaders/bsl430.h"
#include "loaders/bsl54xx430.h"
#include "loaders/wince_prog.h"
#include "platform/clock.h"
#include "recording_port.h"
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

std::string TempDir() {
  char pattern[] = "/tmp/bench-loaders-XXXXXX";
  return ::mkdtemp(pattern) != nullptr ? pattern : "";
}

// What one family's run measured; times in seconds of real time.
struct Figures {
  const char* family;
  std::size_t bytes = 0;
  double phase = 0;     ///< the data phase, first frame to the last byte it needed
  double limit = 0;     ///< the wire time of the bytes that had to cross
  double run = 0;       ///< the whole Program call
  double cpu = 0;       ///< the updater's CPU time in it (the simulator's taken off)
  bool ok = false;
};

void Print(const Figures& f) {
  std::printf("%-8s %9zu bytes  data phase %7.1f s  limit %7.1f s  ratio %5.2f  whole %7.1f s  CPU %5.2f s (%4.2f %%)%s\n",
              f.family, f.bytes, f.phase, f.limit, f.limit > 0 ? f.phase / f.limit : 0.0, f.run, f.cpu,
              f.run > 0 ? 100.0 * f.cpu / f.run : 0.0, f.ok ? "" : "  FAILED");
}

serial::BaudTag BaudTagOf(std::uint32_t rate) {
  for (int tag = serial::B__1200; tag <= serial::B256000; ++tag) {
    if (serial::BaudRateOf(static_cast<serial::BaudTag>(tag)) == rate) return static_cast<serial::BaudTag>(tag);
  }
  return serial::B__9600;
}

// Runs `program` against `rig`, timing it and taking the simulator's CPU off.
template <typename Program>
void Measure(SimRig& instrument, Figures& f, Program&& program) {
  const double cpu0 = CpuSeconds();
  const double sim0 = instrument.CpuSeconds();
  const auto start = Clock::now();
  f.ok = program();
  f.run = std::chrono::duration<double>(Clock::now() - start).count() * platform::TimeScale();
  f.cpu = CpuSeconds() - cpu0 - (instrument.CpuSeconds() - sim0);
}

// An MSP430 image of `codeSize` bytes through the classic or the 5xx loader.
Figures Msp430(const char* family, const char* preset, std::uint32_t codeSize, bool five) {
  Figures f{family};
  const std::string dir = TempDir();
  sim::InstrumentConfig config = *sim::FindPreset(preset);
  sim::FirmwareImageSpec recipe = config.main.firmware;
  recipe.version = "9.87";
  recipe.codeSize = codeSize;
  recipe.startWord = !five;
  f.bytes = codeSize;
  std::ofstream(dir + "/FW.TXT", std::ios::binary) << sim::ToTiTxt(sim::BuildFirmwareImage(recipe));
  SimRig instrument(config, {}, true);
  UpdaterRig updater(instrument.SlavePath(), BaudTagOf(config.firmware.line.baud),
                     config.firmware.line.stopBits == 2 ? serial::S_2 : serial::S_1);
  if (!instrument.Error().empty() || !updater.Opened()) return f;
  updater.record.ProzTyp = five ? 0x5438 : 0;
  RecordingPort recorder(updater.Link(), five);
  const loaders::LoaderContext context = updater.LoaderServices::Context(recorder, dir);
  Measure(instrument, f, [&] {
    if (five) return loaders::T_BSL_54XX_430(context).Program(0, "FW.TXT", true, true) == 1;
    return loaders::T_BSL430(context).Program(0, "FW.TXT", true, true) == 1;
  });
  instrument.Stop();
  f.phase = std::chrono::duration<double>(recorder.lastRead - recorder.firstWrite).count() * platform::TimeScale();
  f.limit = recorder.wireOut + recorder.wireIn;
  std::system(("rm -rf " + dir).c_str());
  return f;
}

// Three files of 1 MB through the WinCE file transfer.
Figures WinCE() {
  Figures f{"wince"};
  const std::string dir = TempDir();
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
  Measure(instrument, f, [&] { return loader.Program(loaders::WinCEArgs{names[0], false}) == 1; });
  instrument.Stop();
  // The answers reach the reply parser, not the recorder: the copy is timed
  // from the first frame to the last.
  f.phase = std::chrono::duration<double>(recorder.lastWrite - recorder.firstWrite).count() * platform::TimeScale();
  f.limit = recorder.wireOut;
  std::system(("rm -rf " + dir).c_str());
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
