// Whole console runs that update the simulated WinCE instrument from a copy
// of the sample installation, judged on the files the instrument kept and on
// its state afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "console_sim_run.h"

namespace console {
namespace {

const bool kFastClock = ::setenv("UPDATER_TIME_SCALE", "20", 1) == 0;

// The files of examples/wince that the profile sends, the main file first.
const char* const kFiles[] = {"WINCEAPP.EXE", "HELPER.DLL", "TARVOSTARTUP.EXE", "SETTINGS.DAT"};

struct WinCERun : testing::ConsoleSimRun {
  /// The file as the instrument kept it ("" when it kept none).
  std::string Kept(const std::string& name) const {
    return std::filesystem::exists(dump.Path() + "/wince/" + name) ? dump.Read("wince/" + name) : "";
  }
  bool KeptExactly(const std::string& name) const { return Kept(name) == install.Read(name); }
};

void Update(WinCERun& run, const std::vector<std::string>& faults, const std::string& lastCommand,
            const std::function<void(const std::filesystem::path& install)>& change = {}) {
  ASSERT_TRUE(kFastClock);
  testing::UpdateFromExample(run, "wince", faults, lastCommand, change);
}

TEST(WinCERun, UpdatesEveryFileReturnsTheLineAndSetsTheClock) {
  WinCERun run;
  Update(run, {}, "A.1600");
  EXPECT_EQ(run.code, kExitSuccess) << run.out;
  for (const char* file : kFiles) EXPECT_TRUE(run.KeptExactly(file)) << file;
  EXPECT_NE(run.state.find("\"line_baud\": 9600"), std::string::npos) << run.state;
  EXPECT_NE(run.state.find("\"A.1300#38400\""), std::string::npos) << run.state;
  EXPECT_NE(run.state.find("\"A.1203\", \"A.1300#9600\", \"A.1600"), std::string::npos) << run.state;
  EXPECT_NE(run.state.find("\"startup_version\": \"1.10\""), std::string::npos) << run.state;
}

TEST(WinCERun, ACorruptedBlockIsSentAgainAndTheFileStaysExact) {
  WinCERun run;
  Update(run, {"corrupt:frame@3"}, "A.1600");
  EXPECT_EQ(run.code, kExitSuccess) << run.out;
  for (const char* file : kFiles) EXPECT_TRUE(run.KeptExactly(file)) << file;
  EXPECT_NE(run.out.find("The instrument asks for the last data block again."), std::string::npos) << run.out;
}

TEST(WinCERun, AFileTheInstrumentGivesUpFailsTheUpdate) {
  WinCERun run;
  Update(run, {"refuse:frame@3"}, "A.120");
  EXPECT_EQ(run.code, kExitFailed) << run.out;
  EXPECT_NE(run.out.find("The instrument refused the data (reply 261: 1), at file WINCEAPP.EXE."), std::string::npos)
      << run.out;
  EXPECT_EQ(run.Kept("WINCEAPP.EXE"), "");
  EXPECT_EQ(run.state.find("A.1203"), std::string::npos) << run.state;
}

TEST(WinCERun, SilenceFailsTheUpdate) {
  WinCERun run;
  Update(run, {"silence:frame@3"}, "A.120");
  EXPECT_EQ(run.code, kExitFailed) << run.out;
  EXPECT_NE(run.out.find("The instrument did not answer for 8 seconds, at file WINCEAPP.EXE."), std::string::npos)
      << run.out;
  EXPECT_EQ(run.Kept("WINCEAPP.EXE"), "");
}

TEST(WinCERun, AMissingFurtherFileIsNamedAndNothingIsCopied) {
  WinCERun run;
  Update(run, {}, "A.2100",
         [](const std::filesystem::path& install) { std::filesystem::remove(install / "SETTINGS.DAT"); });
  EXPECT_EQ(run.code, kExitConfig) << run.out;
  EXPECT_NE(run.out.find("Firmware file not found: SETTINGS.DAT"), std::string::npos) << run.out;
  EXPECT_EQ(run.state.find("A.1300"), std::string::npos) << run.state;
  EXPECT_EQ(run.state.find("\"wince_files\": [{"), std::string::npos) << run.state;
}

}  // namespace
}  // namespace console
