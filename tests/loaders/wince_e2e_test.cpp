// The WinCE transfer end to end at the loader: the real serial component on
// the slave side of a pseudo-terminal, the simulated WinCE instrument on the
// master side. Whatever the end, the port has its settings of before.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "loaders/wince_prog.h"
#include "recording_port.h"
#include "loaders/wince_texts.h"
#include "sim/presets.h"
#include "sim_rig.h"
#include "updater_rig.h"

namespace loaders {
namespace {

// Every wait of both sides runs 10 times faster than real time.
const bool kFastTime = [] { return ::setenv("UPDATER_TIME_SCALE", "10", 0) == 0; }();

struct Transfer {
  const char* name;
  std::vector<std::string> faults;
  int result;
  std::string box;  // "" on success
  double atLeastMs = 0;
};

class WinCEFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kFastTime);
    char pattern[] = "/tmp/loaders-wince-e2e-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }

  void WriteFile(const std::string& name, std::size_t size) {
    std::string content(size, '\0');
    for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<char>(i * 7 % 251);
    std::ofstream(dir_ + "/" + name, std::ios::binary) << content;
  }

  std::string dir_;
};

class WinCEEndToEnd : public WinCEFiles, public ::testing::WithParamInterface<Transfer> {};

TEST_P(WinCEEndToEnd, LeavesThePortAsItWas) {
  const Transfer& run = GetParam();
  WriteFile("MAIN.EXE", 4500);
  WriteFile("MORE.DLL", 2000);
  test::SimRig instrument(*sim::FindPreset("wince"), run.faults);
  ASSERT_EQ(instrument.Error(), "");
  test::UpdaterRig updater(instrument.SlavePath(), serial::B__9600, serial::S_2);
  ASSERT_TRUE(updater.Opened());
  updater.record.ExtraFiles[0] = "MORE.DLL";
  updater.record.ExtraFileCount = 1;
  TWinCEProg loader(updater.Context(dir_));

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(loader.Program(WinCEArgs{"MAIN.EXE", false}), run.result);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

  if (run.box.empty()) {
    EXPECT_TRUE(updater.view.boxes.empty()) << updater.view.boxes.front();
  } else {
    EXPECT_EQ(updater.view.boxes, std::vector<std::string>{run.box});
  }
  EXPECT_GE(ms * platform::TimeScale(), run.atLeastMs);
  const serial::LineSettings line = updater.Port().LoadV24Parameter();
  EXPECT_EQ(line.baudRate, 9600u);
  EXPECT_EQ(line.stopBits, 2);
  EXPECT_EQ(line.parity, 0);
}

const Transfer kTransfers[] = {
    {"Whole", {}, 1, ""},
    {"CorruptedBlockResent", {"corrupt:frame@2"}, 1, ""},
    {"BlockRefusedOtherwise", {"refuse:frame@2"}, 0, std::string(wince::RefusalMessage("1", "MAIN.EXE", 1).view())},
    // 8000 ms without an acknowledgement, after the 2000 ms pause of the raised line.
    {"Silence", {"silence:frame@2"}, 0, std::string(wince::SilenceMessage("MAIN.EXE", 1).view()), 10000},
};

INSTANTIATE_TEST_SUITE_P(Transfers, WinCEEndToEnd, ::testing::ValuesIn(kTransfers),
                         [](const ::testing::TestParamInfo<Transfer>& info) { return info.param.name; });

// An instrument that holds a file already answers its header with reply 260,
// "ready for the next file": the transfer goes on with the next file without
// sending the held one, and ends as a success.
TEST_F(WinCEFiles, AFileTheInstrumentHoldsIsPassedOverOnReply260) {
  WriteFile("MAIN.EXE", 4500);
  WriteFile("MORE.DLL", 2000);
  sim::InstrumentConfig config = *sim::FindPreset("wince");
  ASSERT_EQ(sim::ApplySetting(config, "holds=main.exe"), "");
  test::SimRig instrument(config, {});
  ASSERT_EQ(instrument.Error(), "");
  test::UpdaterRig updater(instrument.SlavePath(), serial::B__9600, serial::S_2);
  ASSERT_TRUE(updater.Opened());
  updater.record.ExtraFiles[0] = "MORE.DLL";
  updater.record.ExtraFileCount = 1;
  TWinCEProg loader(updater.Context(dir_));
  EXPECT_EQ(loader.Program(WinCEArgs{"MAIN.EXE", false}), 1);
  EXPECT_TRUE(updater.view.boxes.empty()) << updater.view.boxes.front();
  instrument.Stop();
  const std::vector<sim::WinceFile>& files = instrument.Instrument().Status().winceFiles;
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].name, "MAIN.EXE");
  EXPECT_EQ(files[0].status, sim::WinceFile::Status::kHeld);
  EXPECT_EQ(files[0].blocks, 0u);
  EXPECT_EQ(files[1].name, "MORE.DLL");
  EXPECT_EQ(files[1].status, sim::WinceFile::Status::kComplete);
  EXPECT_EQ(updater.Port().LoadV24Parameter().baudRate, 9600u);
}

}  // namespace
}  // namespace loaders
