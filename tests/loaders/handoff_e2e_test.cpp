// Whole console updates of the simulated M16 and PIC32 instruments through
// the project's stand-ins of the maker's updater library and tools, judged
// on the simulator's flash and state; and hand-offs that fail end the run
// cleanly. The stand-ins are copied into each installation, which is the
// program folder of these runs, so each test picks what is installed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "../updater/simulator_process.h"
#include "../updater/temp_installation.h"
#include "loaders/back_ends.h"
#include "ui/console/console_app.h"
#include "updater/workflow/workflow.h"

namespace console {
namespace {

const bool kFastClock = ::setenv("UPDATER_TIME_SCALE", "20", 1) == 0;

struct HandOffRun {
  int code = -1;
  std::string out;
  updater::testing::TempInstallation install;
  updater::testing::TempInstallation dump;

  std::string State() const { return dump.Read("state.json"); }
};

void Update(HandOffRun& run, const std::string& family, const std::vector<std::string>& standIns) {
  ASSERT_TRUE(kFastClock);
  static const loaders::LoaderRegistry backEnds = loaders::ProgramBackEnds();
  updater::SetWorkflowMaker(updater::WorkflowWith(backEnds));
  namespace fs = std::filesystem;
  fs::copy(EXAMPLES_DIR "/" + family, run.install.Path(), fs::copy_options::recursive);
  for (const std::string& name : standIns)
    fs::copy_file(fs::path(STANDIN_DIR) / name, run.install / name);
  updater::testing::Simulator sim(run.dump.Path(), {}, {}, family);
  ASSERT_FALSE(sim.Pty().empty());
  ConsoleOptions options;
  options.console = true;
  options.answers = Answers::Yes;
  ::setenv("UPDATER_PORTS", sim.Pty().c_str(), 1);
  std::ostringstream out;
  std::istringstream in;
  const updater::Installation installation{run.install.Path(), run.install.Path()};
  run.code = RunConsole(options, installation, {out, in, false, false});
  ::unsetenv("UPDATER_PORTS");
  sim.Stop();
  run.out = out.str();
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
};

class HandOffUpdate : public ::testing::TestWithParam<Programmer> {};

TEST_P(HandOffUpdate, FlashHoldsTheImageAndTheNewFirmwareRuns) {
  const Programmer& programmer = GetParam();
  HandOffRun run;
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
                      Programmer{"pic32", {"PIC32_Serial_Bootloader"}, "P32FW.HEX", "2.10"}),
    [](const auto& info) {
      return info.param.family +
             std::string(info.param.standIns[0].starts_with("lib") ? "Library" : "Tool");
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
}  // namespace console
