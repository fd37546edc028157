// The MSP430 loaders end to end: the real serial component on the slave side
// of a pseudo-terminal, the simulated instrument on the master side; every
// run is judged by the instrument's flash and the version it then reports.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "loaders/bsl430.h"
#include "loaders/bsl54xx430.h"
#include "loaders/loader_texts.h"
#include "loaders/session_texts.h"
#include "sim/image_builder.h"
#include "sim/presets.h"
#include "recording_port.h"
#include "sim_rig.h"
#include "updater_rig.h"

namespace loaders {
namespace {

// Every wait of both sides runs 10 times faster than real time.
const bool kFastTime = [] { return ::setenv("UPDATER_TIME_SCALE", "10", 0) == 0; }();

struct UpdateRun {
  const char* name;
  const char* preset;
  std::vector<std::string> settings = {};  // as the simulator's --set
  std::vector<std::string> faults = {};    // as the simulator's --fault
  bool five = false;                  // the 5xx/6xx loader
  int component = 0;
  bool flagA = false;
  bool syncFirst = true;
  bool queryFirst = true;
  std::vector<sim::ImageSegment> extra = {};  // more data, in front of the firmware or behind it
  bool extraFirst = false;
  std::int32_t flashErase = 0;
  const char* file = "FW.TXT";
  int expectResult = 0;  // 0: success
  std::vector<std::uint32_t> erases = {};  // erased segments in order, when given
  int passwords = 0;  // 5xx password frames sent, when given
  std::int32_t startCmdIndex = 0;
  int unplugAtWrite = 0;  // the adapter is unplugged at this binary write of the loader
  // The instrument's answer to the entry command was read as a reply line
  // and waits in the queue while the loader starts the boot loader.
  bool entryAnswerEarly = false;
};

/// Segment addresses from `high` down to `low`, 512 bytes apart.
std::vector<std::uint32_t> Down(std::uint32_t high, std::uint32_t low, std::vector<std::uint32_t> then = {}) {
  std::vector<std::uint32_t> list;
  for (std::uint32_t a = high; a >= low; a -= 0x200) list.push_back(a);
  list.insert(list.end(), then.begin(), then.end());
  return list;
}

std::vector<std::uint32_t> Join(std::vector<std::uint32_t> first, const std::vector<std::uint32_t>& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

class Msp430EndToEnd : public ::testing::TestWithParam<UpdateRun> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kFastTime);
    char pattern[] = "/tmp/loaders-e2e-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }

  static sim::InstrumentConfig Config(const UpdateRun& run) {
    sim::InstrumentConfig config = *sim::FindPreset(run.preset);
    for (const std::string& s : run.settings) EXPECT_EQ(sim::ApplySetting(config, s), "") << s;
    return config;
  }

  // The new firmware: the layout of what the instrument holds, a newer version.
  sim::MemoryImage WriteImage(const UpdateRun& run, const sim::InstrumentConfig& config) {
    const sim::ComponentConfig& target = run.component == 1 ? *config.sensor : config.main;
    sim::FirmwareImageSpec recipe = target.firmware;
    recipe.version = "9.87";
    recipe.entry = 0;
    recipe.startWord = true;
    sim::MemoryImage image = sim::BuildFirmwareImage(recipe);
    image.insert(run.extraFirst ? image.begin() : image.end(), run.extra.begin(), run.extra.end());
    std::ofstream(dir_ + "/" + run.file, std::ios::binary) << sim::ToTiTxt(image);
    std::ofstream(dir_ + "/Patch.TXT", std::ios::binary) << sim::ToTiTxt(sim::BuildPatchImage());
    return image;
  }

  static serial::BaudTag Baud(std::uint32_t rate) {
    for (int tag = serial::B__1200; tag <= serial::B256000; ++tag) {
      if (serial::BaudRateOf(static_cast<serial::BaudTag>(tag)) == rate) return static_cast<serial::BaudTag>(tag);
    }
    return serial::B__9600;
  }

  std::string dir_;
};

::testing::AssertionResult FlashHolds(const sim::FlashModel& flash, const sim::MemoryImage& image) {
  for (const sim::ImageSegment& segment : image) {
    const std::vector<std::uint8_t> got = flash.Read(segment.address, segment.data.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      if (got[i] != segment.data[i]) {
        char where[64];
        std::snprintf(where, sizeof where, "flash differs at 0x%X: 0x%02X instead of 0x%02X",
                      static_cast<unsigned>(segment.address + i), got[i], segment.data[i]);
        return ::testing::AssertionFailure() << where;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

TEST_P(Msp430EndToEnd, ProgramsTheInstrument) {
  const UpdateRun& run = GetParam();
  const sim::InstrumentConfig config = Config(run);
  const sim::MemoryImage image = WriteImage(run, config);
  test::SimRig instrument(config, run.faults);
  ASSERT_EQ(instrument.Error(), "");
  const serial::StopBitTag stop = config.firmware.line.stopBits == 2 ? serial::S_2 : serial::S_1;
  test::UpdaterRig updater(instrument.SlavePath(), Baud(config.firmware.line.baud), stop);
  ASSERT_TRUE(updater.Opened());
  updater.record.SetDirectBootLoaderStart(run.flagA);
  updater.record.FlashErase2 = run.flashErase;
  updater.record.ProzTyp = run.five ? 0x5438 : 0;

  updater.startCmdIndex = run.startCmdIndex;
  test::RecordingPort recorder(updater.Link(), run.five);
  recorder.unplugAtWrite = run.unplugAtWrite;
  if (run.entryAnswerEarly) {
    recorder.firstBinaryWrite = [&updater] { updater.Events().PostMessage(updater::EV_REPLY_LINE); };
  }
  const LoaderContext context = updater.LoaderServices::Context(recorder, dir_);
  std::unique_ptr<ProgrammingLoader> loader = run.five ? Make<T_BSL_54XX_430>(context) : Make<T_BSL430>(context);
  const int result = loader->Program(Msp430Args{run.component, run.file, run.syncFirst, run.queryFirst});
  const int resultCode = run.five ? static_cast<T_BSL_54XX_430&>(*loader).ResultCode()
                                  : static_cast<T_BSL430&>(*loader).ResultCode();

  if (!run.erases.empty()) {
    EXPECT_EQ(recorder.erases, run.erases);
  }
  if (run.passwords != 0) {
    EXPECT_EQ(recorder.passwords, run.passwords);
  }
  if (run.unplugAtWrite != 0) {
    // The run ends at once, well within one watchdog period, and says why.
    EXPECT_EQ(result, 0);
    const double endedAfter =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - recorder.unplugged).count();
    EXPECT_LT(endedAfter * platform::TimeScale(), 5.0) << "seconds from the unplugging to the end of the run";
    ASSERT_EQ(updater.view.boxes.size(), 1u);
    EXPECT_EQ(updater.view.boxes[0], ConnectionLostText(updater.Link().Describe(), 1));
    instrument.Stop();
    EXPECT_FALSE(FlashHolds(instrument.Instrument().Memory(0), image)) << "the image was written after all";
    return;
  }
  if (run.expectResult != 0) {
    EXPECT_EQ(result, 0);
    EXPECT_EQ(resultCode, run.expectResult);
    ASSERT_FALSE(updater.view.boxes.empty());
    EXPECT_EQ(updater.view.boxes.back(), StepErrorText(run.expectResult, 1));
    instrument.Stop();
    EXPECT_EQ(instrument.Instrument().Status().loadPc, -1) << "the instrument was started";
    return;
  }
  EXPECT_EQ(result, 1);
  EXPECT_EQ(resultCode, 0);
  EXPECT_EQ(recorder.bootLoaderLines, 1) << "the boot loader was started more than once";
  EXPECT_TRUE(updater.view.boxes.empty()) << updater.view.boxes.front();
  EXPECT_EQ(updater.view.title, "Update");  // the report is reset at the end
  EXPECT_EQ(updater.view.progress, 0);
  const serial::LineSettings line = updater.Port().LoadV24Parameter();
  EXPECT_EQ(line.baudRate, run.startCmdIndex == 2 ? 9600u : config.firmware.line.baud);
  EXPECT_EQ(line.stopBits, run.startCmdIndex == 2 || stop == serial::S_2 ? 2 : 0);
  EXPECT_EQ(line.parity, 0);
  // The new firmware comes up and reports itself.
  updater.Wait().DelayTime(static_cast<long>(config.bootMs) + 1000, true);
  instrument.Stop();
  const sim::Instrument& done = instrument.Instrument();
  EXPECT_TRUE(FlashHolds(done.Memory(run.component), image));
  EXPECT_EQ(run.component == 1 ? done.Status().secondVersion : done.Status().firmwareVersion, "9.87");
  EXPECT_TRUE(done.Status().firmwareRunning);
}

const UpdateRun kRuns[] = {
    {.name = "Classic160WithBaudChange", .preset = "msp430-classic", .erases = Down(0xFC00, 0x4000, {0x1080, 0xFFFF})},
    {.name = "Classic140LeavesLineAt8N2", .preset = "msp430-classic", .settings = {"part=f449"}, .startCmdIndex = 2},
    {.name = "Classic110WithPatch", .preset = "msp430-classic", .settings = {"part=f149"}},
    {.name = "ClassicAbove64K", .preset = "msp430-classic", .settings = {"part=f2618"},
     .extra = {{0x10000, std::vector<std::uint8_t>(0x300, 0x5A)}}, .flashErase = 0x10400,
     .erases = Down(0x10400, 0x10000, Down(0xFC00, 0x4000, {0x1080, 0xFFFF}))},
    {.name = "ClassicSecondComponent", .preset = "msp430-classic", .settings = {"sensor=f449"}, .component = 1},
    {.name = "ClassicBootLoaderActive", .preset = "msp430-classic", .settings = {"running=bootloader", "entry=0x0C04"},
     .flagA = true, .queryFirst = false},
    {.name = "ClassicLab", .preset = "msp430-classic", .settings = {"running=bootloader", "entry=0x0C04"},
     .flagA = true, .syncFirst = false, .queryFirst = false, .file = "LABXXX.TXT"},
    {.name = "ClassicNakRecovered", .preset = "msp430-classic", .faults = {"nak:rx@2"}},
    // A refused block is sent again although an answer from earlier steps is
    // still about: here the entry command's answer, or the instrument's
    // answer to a sync repeated after the first went unanswered.
    {.name = "ClassicNakAfterEarlyEntryAnswer", .preset = "msp430-classic", .faults = {"nak:rx@2"},
     .entryAnswerEarly = true},
    {.name = "ClassicNakAfterRepeatedSync", .preset = "msp430-classic", .faults = {"noack:sync@1", "nak:rx@2"}},
    // The 96th erase is the information segment at 0x1080: refused, it is left
    // out and programming begins, where the old version text there refuses
    // the new one.
    {.name = "ClassicInfoEraseRefused", .preset = "msp430-classic", .faults = {"nak:erase@96"}, .expectResult = 8,
     .erases = Down(0xFC00, 0x4000, {0x1080})},
    // Block 1 off a segment boundary: its segment is erased all the same.
    {.name = "ClassicBlock1Unaligned", .preset = "msp430-classic", .settings = {"code_address=0x4100"},
     .erases = Down(0xFC00, 0x4200, {0x4100, 0x1080, 0xFFFF})},
    {.name = "ClassicBlockRefusedFourTimes", .preset = "msp430-classic", .faults = {"nak:rx@1+"}, .expectResult = 8},
    {.name = "ClassicCorruptReadBack", .preset = "msp430-classic", .faults = {"corrupt:tx@2"}, .expectResult = 9},
    {.name = "ClassicSilentInTextPhase", .preset = "msp430-classic", .faults = {"silence:1000"}, .expectResult = 16},
    {.name = "ClassicNoBootLoader", .preset = "msp430-classic", .faults = {"refuse:5588"}, .queryFirst = false,
     .expectResult = 17},
    {.name = "FiveWithQuery", .preset = "msp430-5xx", .five = true, .erases = Down(0xFC00, 0x5C00, {0xFFFF})},
    {.name = "FiveEarlyEntryAnswer", .preset = "msp430-5xx", .five = true, .entryAnswerEarly = true},
    {.name = "FiveSkipsVectorSegment", .preset = "msp430-5xx", .five = true, .flashErase = 0x10000,
     .erases = Down(0x10000, 0x10000, Down(0xFC00, 0x5C00, {0xFFFF}))},
    // Information memory as block 0: the boot loader's area is never erased.
    {.name = "FiveInfoMemoryFirst", .preset = "msp430-5xx", .five = true,
     .extra = {{0x1800, std::vector<std::uint8_t>(16, 0x42)}}, .extraFirst = true,
     .erases = Down(0xFC00, 0x5C00, {0xFFFF})},
    // Block 0 above block 1: its segment is erased once more, then programming starts.
    {.name = "FiveBlock0AboveBlock1", .preset = "msp430-5xx", .five = true,
     .extra = {{0x8000, std::vector<std::uint8_t>(32, 0x24)}}, .extraFirst = true,
     .erases = Down(0xFC00, 0x5C00, {0x8000, 0xFFFF})},
    {.name = "FiveLab", .preset = "lab", .five = true, .flagA = true, .syncFirst = false, .queryFirst = false,
     .file = "LABXXX.TXT"},
    {.name = "FiveBadChecksumRecovered", .preset = "msp430-5xx", .faults = {"badsum:tx@2"}, .five = true},
    // Retries spent while the boot loader answers: the data phase runs again
    // from the password (no wrong one: the vector table the failed phase
    // left is known), erase included, and success needs the read-back.
    {.name = "FiveGarbageRepeatsTheDataPhase", .preset = "msp430-5xx", .faults = {"garbage:rx@5"}, .five = true,
     .erases = Down(0xFC00, 0x5C00, Down(0xFC00, 0x5C00, {0xFFFF})), .passwords = 2},
    {.name = "FiveWrongReadBackRepeatsTheDataPhase", .preset = "msp430-5xx", .faults = {"corrupt:tx@2"}, .five = true,
     .erases = Down(0xFC00, 0x5C00, Join({0xFFFF}, Down(0xFC00, 0x5C00, {0xFFFF}))), .passwords = 2},
    {.name = "FiveRefusedInEveryRepeat", .preset = "msp430-5xx", .faults = {"nak:rx@3+"}, .five = true,
     .expectResult = 8, .erases = Down(0xFC00, 0x5C00, Down(0xFC00, 0x5C00, Down(0xFC00, 0x5C00))), .passwords = 3},
    // Retries spent by silence: no repeat, not even its password.
    {.name = "FiveSilentIsNotRepeated", .preset = "msp430-5xx", .faults = {"silence:rx@5"}, .five = true,
     .expectResult = 8, .erases = Down(0xFC00, 0x5C00), .passwords = 1},
    // Silent from the repeat's password on: the run ends there.
    {.name = "FiveSilentAtTheRepeat", .preset = "msp430-5xx", .faults = {"garbage:rx@5", "silence:password@2"},
     .five = true, .expectResult = 4, .erases = Down(0xFC00, 0x5C00), .passwords = 2},
    // The USB adapter is pulled out in the middle of the data phase.
    {.name = "ClassicAdapterUnplugged", .preset = "msp430-classic", .unplugAtWrite = 40},
    {.name = "FiveAdapterUnplugged", .preset = "msp430-5xx", .five = true, .unplugAtWrite = 40},
};

INSTANTIATE_TEST_SUITE_P(Runs, Msp430EndToEnd, ::testing::ValuesIn(kRuns),
                         [](const ::testing::TestParamInfo<UpdateRun>& info) { return info.param.name; });

}  // namespace
}  // namespace loaders
