// Whole console updates of the simulated M16 and PIC32 instruments through
// the project's stand-ins of the maker's updater library and tools, judged
// on the simulator's flash and state; and hand-offs that fail end the run
// cleanly. Each run is the real program in a fresh process, copied into the
// installation together with the stand-ins the test installs, so that the
// updater finds exactly those beside it (a library once loaded into a
// process stays there, so runs in one process would not be independent).
#include <fcntl.h>
#include <signal.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "../updater/simulator_process.h"
#include "../updater/temp_installation.h"

extern char** environ;

namespace {

const bool kFastClock = ::setenv("UPDATER_TIME_SCALE", "20", 1) == 0;

constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;

struct HandOffRun {
  bool childSignalIgnored = false;  // started as by a parent that ignores SIGCHLD
  int code = -1;
  std::string out;
  updater::testing::TempInstallation install;
  updater::testing::TempInstallation dump;

  std::string State() const { return dump.Read("state.json"); }
};

// Runs the copied updater in the console with --yes on `pty`; its exit code,
// and its output with the errors.
int RunUpdater(const HandOffRun& run, const std::string& pty) {
  const std::string program = run.install / "instrument-updater";
  const std::string output = run.dump / "updater.out";
  std::vector<std::string> args = {program,   "--console", "--yes", "--dir", run.install.Path(),
                                   "--ports", pty};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  // An ignored signal stays ignored across exec. It is ignored here only for
  // the spawn: the run takes seconds, and this process collects it afterwards.
  struct sigaction ignore {}, old{};
  ignore.sa_handler = SIG_IGN;
  if (run.childSignalIgnored) ::sigaction(SIGCHLD, &ignore, &old);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  if (run.childSignalIgnored) ::sigaction(SIGCHLD, &old, nullptr);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

void Update(HandOffRun& run, const std::string& family, const std::vector<std::string>& standIns) {
  ASSERT_TRUE(kFastClock);
  namespace fs = std::filesystem;
  fs::copy(EXAMPLES_DIR "/" + family, run.install.Path(), fs::copy_options::recursive);
  for (const std::string& name : standIns)
    fs::copy_file(fs::path(STANDIN_DIR) / name, run.install / name);
  fs::copy_file(UPDATER_PROGRAM, run.install / "instrument-updater");
  // The new firmware reports 10 s after the start: the 20-fold clock shortens
  // the updater's pause after a tool, not the time a sanitized tool needs to
  // end, and a report before the port is back would be missed.
  updater::testing::Simulator sim(run.dump.Path(), {"boot_ms=10000"}, {}, family);
  ASSERT_FALSE(sim.Pty().empty());
  run.code = RunUpdater(run, sim.Pty());
  sim.Stop();
  run.out = run.dump.Read("updater.out");
}

// The bytes that the records of an S-record or Intel HEX file put at each
// address (no checksum checks: the sample files are trusted here).
std::vector<std::pair<std::uint32_t, std::uint8_t>> ImageBytes(const std::string& text) {
  std::vector<std::pair<std::uint32_t, std::uint8_t>> bytes;
  std::istringstream lines(text);
  std::uint32_t base = 0;
  for (std::string line; std::getline(lines, line);) {
    auto byte = [&line](std::size_t at) {
      return static_cast<std::uint8_t>(std::stoul(line.substr(at, 2), nullptr, 16));
    };
    if (line.rfind("S1", 0) == 0) {
      const std::size_t count = byte(2) - 3;
      const std::uint32_t address = byte(4) << 8 | byte(6);
      for (std::size_t i = 0; i < count; ++i) bytes.emplace_back(address + i, byte(8 + 2 * i));
    } else if (line.rfind(':', 0) == 0 && byte(7) == 4) {
      base = static_cast<std::uint32_t>(byte(9) << 8 | byte(11)) << 16;
    } else if (line.rfind(':', 0) == 0 && byte(7) == 0) {
      const std::uint32_t address = base + (byte(3) << 8 | byte(5));
      for (std::size_t i = 0; i < byte(1); ++i) bytes.emplace_back(address + i, byte(9 + 2 * i));
    }
  }
  return bytes;
}

void ExpectFlashHolds(const HandOffRun& run, const std::string& file) {
  const std::string flash = run.dump.Read("flash.bin");
  const auto bytes = ImageBytes(run.install.Read(file));
  ASSERT_FALSE(bytes.empty());
  std::size_t wrong = 0;
  for (const auto& [address, value] : bytes) {
    if (address >= flash.size() || static_cast<std::uint8_t>(flash[address]) != value) ++wrong;
  }
  EXPECT_EQ(wrong, 0u) << "of " << bytes.size() << " bytes";
}

struct Programmer {
  const char* family;
  std::vector<std::string> standIns;
  const char* file;
  const char* version;
  bool childSignalIgnored = false;
};

class HandOffUpdate : public ::testing::TestWithParam<Programmer> {};

TEST_P(HandOffUpdate, FlashHoldsTheImageAndTheNewFirmwareRuns) {
  const Programmer& programmer = GetParam();
  HandOffRun run;
  run.childSignalIgnored = programmer.childSignalIgnored;
  Update(run, programmer.family, programmer.standIns);
  EXPECT_EQ(run.code, kExitSuccess) << run.out;
  ExpectFlashHolds(run, programmer.file);
  EXPECT_NE(run.State().find(std::string("\"firmware_version\": \"") + programmer.version),
            std::string::npos)
      << run.State();
}

INSTANTIATE_TEST_SUITE_P(
    StandIns, HandOffUpdate,
    ::testing::Values(Programmer{"m16", {"libVorloM16Updater.so"}, "M16FW.MOT", "1.10"},
                      Programmer{"m16", {"HEXLoad_8N1"}, "M16FW.MOT", "1.10"},
                      Programmer{"pic32", {"PIC32_Serial_Bootloader"}, "P32FW.HEX", "2.10"},
                      Programmer{"m16", {"HEXLoad_8N1"}, "M16FW.MOT", "1.10", true}),
    [](const auto& info) {
      return info.param.family +
             std::string(info.param.standIns[0].starts_with("lib") ? "Library" : "Tool") +
             (info.param.childSignalIgnored ? "ChildSignalIgnored" : "");
    });

TEST(HandOffFailure, AToolThatFailsOrIsMissingEndsTheRunWithThePortBack) {
  struct Case {
    std::string tool;  // the script installed as HEXLoad_8N1; "" installs nothing
    std::string message;
    std::size_t starts;
  };
  const Case cases[] = {
      {"echo started >> starts; exit 1", "The programming tool HEXLoad_8N1 ended with exit code 1.",
       3},
      {"", "The programming tool could not be started (not found): ", 0},
  };
  for (const Case& c : cases) {
    HandOffRun run;
    if (!c.tool.empty()) {
      run.install.Write("HEXLoad_8N1",
                        "#!/bin/sh\ncd '" + run.install.Path() + "'\n" + c.tool + "\n");
      ::chmod((run.install / "HEXLoad_8N1").c_str(), 0755);
    }
    Update(run, "m16", {});
    EXPECT_EQ(run.code, kExitFailed) << run.out;
    EXPECT_NE(run.out.find(c.message), std::string::npos) << run.out;
    const std::string starts = run.install.Read("starts");
    EXPECT_EQ(static_cast<std::size_t>(std::count(starts.begin(), starts.end(), '\n')), c.starts);
    // The port was opened again: the serial component had nothing to say.
    EXPECT_EQ(run.out.find("Cannot open"), std::string::npos) << run.out;
    EXPECT_NE(run.State().find("\"firmware_version\": \"1.00"), std::string::npos) << run.State();
  }
}

}  // namespace
