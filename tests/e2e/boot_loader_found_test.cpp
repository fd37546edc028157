// Instruments that wait in their boot loader when the program starts: a Lab
// instrument, a blank one, and one that a failed run left there and the user
// switched on again (with the PRG key held, as the abort text asks; the EMF
// boot loader comes up by itself when the application is broken). The search
// finds each through its boot-loader probe, and the run programs it; the
// flash is judged by an independent reader of the firmware file (a .BIN image
// is kept as it is, from the start of the memory).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "console_sim_run.h"
#include "image_compare.h"

namespace console {
namespace {

const bool kFastClock = ::setenv("UPDATER_TIME_SCALE", "20", 1) == 0;

// The run succeeded, and the instrument runs the file's firmware, byte for byte.
void ExpectUpdated(const testing::ConsoleSimRun& run, const std::string& file, const std::string& version) {
  EXPECT_EQ(run.code, kExitSuccess) << run.out;
  EXPECT_NE(run.dump.Read("state.json").find(version), std::string::npos) << run.dump.Read("state.json");
  const std::string path = run.install.Path() + "/" + file;
  const std::string flash = run.dump.Read("flash.bin");
  if (file.ends_with(".BIN")) {
    const std::string image = testing::Slurp(path);
    EXPECT_TRUE(!image.empty() && flash.substr(0, image.size()) == image) << "the memory does not hold " << file;
    return;
  }
  EXPECT_EQ(testing::CompareWithImage(flash, path, "-ti-txt", run.dump.Path()), "");
}

bool SrecCatMissing() { return std::system("srec_cat -version >/dev/null 2>&1") != 0; }

struct Waiting {
  const char* name;
  const char* preset;
  std::vector<std::string> settings;  ///< the simulator's --set values
  bool lab;                           ///< started as the menu item "Lab XXX" (--lab) instead of OK
  const char* file;                   ///< the firmware file the instrument must hold afterwards
  const char* version;                ///< what state.json reports once it runs
  std::vector<std::string> faults{};  ///< the simulator's --fault rules
};

class FoundInItsBootLoader : public ::testing::TestWithParam<Waiting> {};

TEST_P(FoundInItsBootLoader, IsUpdated) {
  ASSERT_TRUE(kFastClock);
  if (SrecCatMissing()) GTEST_SKIP() << "srec_cat is not installed";
  const Waiting& waiting = GetParam();
  testing::ConsoleSimRun run;
  std::filesystem::copy(std::string(EXAMPLES_DIR) + "/" + waiting.preset, run.install.Path(),
                        std::filesystem::copy_options::recursive);
  updater::testing::Simulator sim(run.dump.Path(), waiting.settings, waiting.faults, waiting.preset);
  ASSERT_FALSE(sim.Pty().empty());
  ConsoleOptions options = testing::AnsweringYes();
  options.lab = waiting.lab;
  run.code = testing::RunConsoleOn(sim.Pty(), run.install.Path(), run.out, nullptr, options);
  sim.Stop();
  ExpectUpdated(run, waiting.file, waiting.version);
}

INSTANTIATE_TEST_SUITE_P(
    Instruments, FoundInItsBootLoader,
    ::testing::Values(Waiting{"LabByOk", "lab", {}, false, "LABXXX.TXT", "\"firmware_version\": \"3.10\""},
                      Waiting{"LabByMenuItem", "lab", {}, true, "LABXXX.TXT", "\"firmware_version\": \"3.10\""},
                      Waiting{"BlankClassic", "msp430-classic", {"blank=1"}, false, "MC1.TXT",
                              "\"firmware_version\": \"1.20\""},
                      // The right guess's answer is lost: it is sent again, not passed over.
                      Waiting{"BlankClassicAnswerLost", "msp430-classic", {"blank=1"}, false, "MC1.TXT",
                              "\"firmware_version\": \"1.20\"", {"noack:password@2"}},
                      Waiting{"Blank5xx", "msp430-5xx", {"blank=1"}, false, "MF5.TXT",
                              "\"firmware_version\": \"2.10\""},
                      Waiting{"BlankEmf", "emf", {"blank=1"}, false, "EMF1.BIN", "\"firmware_version\": \"1.10\""}),
    [](const auto& info) { return std::string(info.param.name); });

struct Broken {
  const char* name;
  const char* preset;
  const char* fault;  ///< ends the first run's data phase for good
  const char* power;  ///< how the user switches the instrument on again
  const char* file;
  const char* version;
};

class AfterAFailedDataPhase : public ::testing::TestWithParam<Broken> {};

// The first program ends with the abort text; the user does what it says and
// starts the program again, which knows nothing of the first.
TEST_P(AfterAFailedDataPhase, TheNextProgramStartUpdatesTheInstrument) {
  ASSERT_TRUE(kFastClock);
  if (SrecCatMissing()) GTEST_SKIP() << "srec_cat is not installed";
  const Broken& broken = GetParam();
  testing::ConsoleSimRun run;
  std::filesystem::copy(std::string(EXAMPLES_DIR) + "/" + broken.preset, run.install.Path(),
                        std::filesystem::copy_options::recursive);
  updater::testing::Simulator sim(run.dump.Path(), {}, {broken.fault}, broken.preset);
  ASSERT_FALSE(sim.Pty().empty());
  std::string first;
  ASSERT_EQ(testing::RunConsoleOn(sim.Pty(), run.install.Path(), first), kExitFailed) << first;
  ASSERT_NE(first.find("hold the PRG key"), std::string::npos) << first;
  ASSERT_TRUE(sim.Act("clear-faults") && sim.Act(broken.power));
  run.code = testing::RunConsoleOn(sim.Pty(), run.install.Path(), run.out);
  sim.Stop();
  ExpectUpdated(run, broken.file, broken.version);
}

INSTANTIATE_TEST_SUITE_P(
    Families, AfterAFailedDataPhase,
    ::testing::Values(Broken{"Classic", "msp430-classic", "nak:rx@3+", "power-cycle boot-key", "MC1.TXT",
                             "\"firmware_version\": \"1.20\""},
                      Broken{"Bsl5xx", "msp430-5xx", "nak:rx@3+", "power-cycle boot-key", "MF5.TXT",
                             "\"firmware_version\": \"2.10\""},
                      // The erased memory holds no application: its boot loader starts by itself.
                      Broken{"Emf", "emf", "nak:xmodem@3+", "power-cycle", "EMF1.BIN",
                             "\"firmware_version\": \"1.10\""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace console
