// The program interrupted in the middle of a data phase, as a user does with
// Ctrl+C or a service manager with SIGTERM: instrument-updater runs as its own
// process against the simulator, gets the signal once the run log shows a
// data block on the line, and must report the interruption (not a lost
// cable), exit with 128 + the signal, and leave the instrument at 9600 bit/s,
// where the next run looks for it (an MSP430 boot loader at its own rate, a
// WinCE instrument at the rate it answered at before the copy raised it); that
// run, with nothing done to the instrument, is to update it (judged on the
// simulator's memory by an independent reader, or file by file).
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../updater/simulator_process.h"
#include "../updater/temp_installation.h"
#include "image_compare.h"

namespace {

using updater::testing::Simulator;
using updater::testing::TempInstallation;

constexpr auto kPollStep = std::chrono::milliseconds(10);
constexpr int kPollSteps = 6000;  // one minute

// instrument-updater --console --yes on one port, its output and log in `dir`.
class UpdaterProcess {
 public:
  UpdaterProcess(const std::string& install, const std::string& port, const TempInstallation& dir)
      : out_(dir.Path() + "/out.txt"), log_(dir.Path() + "/run.log") {
    std::vector<std::string> args = {INSTRUMENT_UPDATER, "--console", "--yes", "--dir", install,
                                     "--ports", port, "--log", log_};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (::posix_spawn(&pid_, INSTRUMENT_UPDATER, &actions, nullptr, argv.data(), environ) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~UpdaterProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }

  /// Waits (bounded) until the run log holds `text`.
  bool AwaitInLog(const std::string& text) const {
    for (int i = 0; i < kPollSteps; ++i) {
      if (console::testing::Slurp(log_).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(kPollStep);
    }
    return false;
  }
  void Signal(int signal) const { ::kill(pid_, signal); }
  /// The exit code; -1 when it did not exit by itself.
  int Wait() {
    int status = 0;
    const bool ended = pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_;
    pid_ = 0;
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Out() const { return console::testing::Slurp(out_); }

 private:
  std::string out_;
  std::string log_;
  pid_t pid_ = 0;
};

// Waits (bounded) until the simulator's state holds `text`.
bool AwaitState(const TempInstallation& dump, const std::string& text) {
  for (int i = 0; i < kPollSteps / 10; ++i) {
    if (dump.Read("state.json").find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(kPollStep);
  }
  return false;
}

struct Case {
  const char* name;
  const char* preset;   ///< the simulator's preset and the sample installation
  const char* file;     ///< the firmware file of the sample
  const char* version;  ///< what state.json reports once the new firmware runs
  int signal;
  const char* dataBlock = "RX data block";  ///< how the run log shows a data block
  const char* format = "-ti-txt";  ///< srec_cat's input format; null: the instrument keeps the file whole
};

// Empty when the instrument holds the case's firmware.
std::string MemoryVerdict(const Case& c, const std::string& install, const TempInstallation& dump) {
  const std::string file = install + "/" + c.file;
  if (c.format != nullptr) return console::testing::CompareWithImage(dump.Read("flash.bin"), file, c.format, dump.Path());
  return dump.Read(std::string("wince/") + c.file) == console::testing::Slurp(file) ? "" : "the instrument does not hold " + file;
}

class InterruptedRun : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    ASSERT_EQ(::setenv("UPDATER_TIME_SCALE", "20", 1), 0);
    std::filesystem::copy(std::string(EXAMPLES_DIR) + "/" + GetParam().preset, install_.Path(),
                          std::filesystem::copy_options::recursive);
    sim_ = std::make_unique<Simulator>(dump_.Path(), std::vector<std::string>{}, std::vector<std::string>{},
                                       GetParam().preset);
    ASSERT_FALSE(sim_->Pty().empty());
  }

  /// A console run that gets the case's signal once a data block is on the
  /// line; its exit code and output.
  int InterruptMidDataPhase(std::string& out) {
    UpdaterProcess run(install_.Path(), sim_->Pty(), first_);
    EXPECT_TRUE(run.AwaitInLog(GetParam().dataBlock)) << run.Out();
    run.Signal(GetParam().signal);
    const int code = run.Wait();
    out = run.Out();
    return code;
  }

  TempInstallation install_, dump_, first_, second_;
  std::unique_ptr<Simulator> sim_;
};

TEST_P(InterruptedRun, ReportsTheInterruptionAndLeavesTheInstrumentWhereTheNextRunLooks) {
  std::string out;
  EXPECT_EQ(InterruptMidDataPhase(out), 128 + GetParam().signal);
  EXPECT_NE(out.find("The run was interrupted by the user."), std::string::npos) << out;
  EXPECT_NE(out.find("Programming was aborted."), std::string::npos) << out;
  EXPECT_EQ(out.find("connection to the instrument"), std::string::npos) << out;
  EXPECT_EQ(out.find("Download successfully completed"), std::string::npos) << out;
  EXPECT_TRUE(AwaitState(dump_, "\"line_baud\": 9600,")) << dump_.Read("state.json");
}

TEST_P(InterruptedRun, TheNextRunWithNothingDoneUpdatesTheInstrument) {
  std::string out;
  ASSERT_EQ(InterruptMidDataPhase(out), 128 + GetParam().signal) << out;
  UpdaterProcess next(install_.Path(), sim_->Pty(), second_);
  EXPECT_EQ(next.Wait(), 0) << next.Out();
  EXPECT_TRUE(AwaitState(dump_, GetParam().version)) << dump_.Read("state.json");
  EXPECT_EQ(MemoryVerdict(GetParam(), install_.Path(), dump_), "");
}

INSTANTIATE_TEST_SUITE_P(Families, InterruptedRun,
                         ::testing::Values(Case{"ClassicCtrlC", "msp430-classic", "MC1.TXT",
                                                "\"firmware_version\": \"1.20\"", SIGINT},
                                           Case{"Bsl5xxTerm", "msp430-5xx", "MF5.TXT",
                                                "\"firmware_version\": \"2.10\"", SIGTERM},
                                           Case{"WinCECtrlC", "wince", "WINCEAPP.EXE",
                                                "\"firmware_version\": \"4.20\"", SIGINT, "WinCE data", nullptr}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
