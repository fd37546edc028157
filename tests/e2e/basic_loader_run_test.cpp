// Whole console runs that update the terminal of the simulated basic-loader
// instrument through its Basic-Loader, judged on the terminal's flash as an
// independent tool (srec_cat) reads the S-record file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "console_sim_run.h"

namespace console {
namespace {

const bool kFastClock = ::setenv("UPDATER_TIME_SCALE", "20", 1) == 0;

// The terminal's flash as the S-record file fills it.
std::string ExpectedFlash(const testing::ConsoleSimRun& run) {
  const std::string command = "srec_cat -disable-sequence-warnings " + run.install.Path() +
                              "/L3_TermH.A37 -motorola -fill 0xFF 0 0x100000 -o " + run.dump.Path() +
                              "/expected.bin -binary";
  return std::system(command.c_str()) == 0 ? run.dump.Read("expected.bin") : "";
}

TEST(BasicLoaderRun, ProgramsTheTerminalWithTheFileAndExitsZero) {
  if (std::system("srec_cat -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "srec_cat is not installed";
  ASSERT_TRUE(kFastClock);
  testing::ConsoleSimRun run;
  testing::UpdateFromExample(run, "basic-loader", {}, "A.1220");
  EXPECT_EQ(run.code, kExitSuccess) << run.out;
  EXPECT_NE(run.out.find("Program successfully programmed !"), std::string::npos) << run.out;
  const std::string flash = run.dump.Read("flash.bin");
  ASSERT_EQ(flash.size(), 0x100000u);
  EXPECT_TRUE(flash == ExpectedFlash(run)) << "flash.bin differs from L3_TermH.A37";
  EXPECT_NE(run.state.find("\"second_version\": \"1.30\""), std::string::npos) << run.state;
}

struct Abort {
  const char* name;
  const char* fault;
  bool transmitError;  ///< the transfer error comes before the abort text
};

class BasicLoaderAbort : public ::testing::TestWithParam<Abort> {};

// A record the loader calls defective (the transfer error first) and a reply
// 2 both end the download with the abort text; the console exits 1 and the
// terminal keeps no new version.
TEST_P(BasicLoaderAbort, EndsWithTheAbortTextAndExitOne) {
  ASSERT_TRUE(kFastClock);
  testing::ConsoleSimRun run;
  testing::UpdateFromExample(run, "basic-loader", {GetParam().fault}, "A.1220");
  EXPECT_EQ(run.code, kExitFailed) << run.out;
  EXPECT_EQ(run.out.find("Transmit error !!") != std::string::npos, GetParam().transmitError) << run.out;
  EXPECT_NE(run.out.find("Programming abort !"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("Program successfully programmed !"), std::string::npos) << run.out;
  EXPECT_EQ(run.state.find("\"second_version\": \"1.30\""), std::string::npos) << run.state;
}

INSTANTIATE_TEST_SUITE_P(Faults, BasicLoaderAbort,
                         ::testing::Values(Abort{"DefectiveRecord", "nak:record@40", true},
                                           Abort{"ReplyTwo", "abort:record@40", false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct Break {
  const char* name;
  const char* fault;
};

class BasicLoaderWayBack : public ::testing::TestWithParam<Break> {};

// A broken download leaves the terminal without a firmware. The first run
// tells the user to disconnect the instrument and to start the program again;
// after he has switched it off and on, the instrument reports no terminal
// version, and the next start gives the terminal's Basic-Loader the file.
TEST_P(BasicLoaderWayBack, NextStartAfterAPowerCycleUpdatesTheTerminal) {
  if (std::system("srec_cat -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "srec_cat is not installed";
  ASSERT_TRUE(kFastClock);
  testing::ConsoleSimRun run;
  std::filesystem::copy(std::string(EXAMPLES_DIR) + "/basic-loader", run.install.Path(),
                        std::filesystem::copy_options::recursive);
  updater::testing::Simulator sim(run.dump.Path(), {}, {GetParam().fault}, "basic-loader");
  ASSERT_FALSE(sim.Pty().empty());

  std::string first;
  EXPECT_EQ(testing::RunConsoleOn(sim.Pty(), run.install.Path(), first), kExitFailed) << first;
  EXPECT_NE(first.find("Programming abort !"), std::string::npos) << first;
  EXPECT_NE(first.find("Disconnect the Meter T3 from power supply unit and COM"), std::string::npos) << first;
  EXPECT_NE(first.find("start the program for a new download"), std::string::npos) << first;

  ASSERT_TRUE(sim.Act("clear-faults"));
  ASSERT_TRUE(sim.Act("power-cycle"));
  run.code = testing::RunConsoleOn(sim.Pty(), run.install.Path(), run.out);
  sim.Stop();
  run.state = run.dump.Read("state.json");
  EXPECT_EQ(run.code, kExitSuccess) << run.out;
  EXPECT_NE(run.out.find("Version: 2.00\n"), std::string::npos) << "the terminal reported a version\n" << run.out;
  const std::string flash = run.dump.Read("flash.bin");
  ASSERT_EQ(flash.size(), 0x100000u);
  EXPECT_TRUE(flash == ExpectedFlash(run)) << "flash.bin differs from L3_TermH.A37";
  EXPECT_NE(run.state.find("\"second_version\": \"1.30\""), std::string::npos) << run.state;
}

INSTANTIATE_TEST_SUITE_P(Breaks, BasicLoaderWayBack,
                         ::testing::Values(Break{"DefectiveRecord", "nak:record@40"},
                                           Break{"LoaderFallsSilent", "silence:record@40"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace console
