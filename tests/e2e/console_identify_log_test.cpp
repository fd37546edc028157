// The console's identification-only run and its run log, against the
// simulated instrument, checked through the simulator's dump.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>
#include <vector>

#include "../updater/simulator_process.h"
#include "../updater/temp_installation.h"
#include "loaders/back_ends.h"
#include "ui/console/console_app.h"
#include "updater/workflow/workflow.h"

namespace console {
namespace {

const bool kFastClock = ::setenv("UPDATER_TIME_SCALE", "20", 1) == 0;

struct ConsoleRun {
  int code;
  std::string out;
  std::string state;
  std::string log;
};

// A console run on the classic sample installation against the simulator
// with `settings`; `options` says what kind of run.
ConsoleRun RunConsoleAgainstSimulator(const std::vector<std::string>& settings,
                                      ConsoleOptions options, const std::string& lastCommand) {
  static const loaders::LoaderRegistry backEnds = loaders::ProgramBackEnds();
  updater::SetWorkflowMaker(updater::WorkflowWith(backEnds));
  updater::testing::TempInstallation dump;
  updater::testing::Simulator sim(dump.Path(), settings);
  EXPECT_FALSE(sim.Pty().empty());
  options.console = true;
  options.answers = Answers::No;
  options.logFile = dump.Path() + "/run.log";
  ::setenv("UPDATER_PORTS", sim.Pty().c_str(), 1);
  std::ostringstream out;
  std::istringstream in;
  const updater::Installation installation{EXAMPLES_DIR "/msp430-classic",
                                           EXAMPLES_DIR "/msp430-classic"};
  const int code = RunConsole(options, installation, {out, in, false, false});
  ::unsetenv("UPDATER_PORTS");
  // The updater may end before the simulator has read its last command.
  for (int i = 0;
       i < 60 && dump.Read("state.json").find("\"" + lastCommand + "\"") == std::string::npos;
       ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  sim.Stop();
  return {code, out.str(), dump.Read("state.json"), dump.Read("run.log")};
}

// The texts after `marker` on each line of the log, in order.
std::vector<std::string> Logged(const std::string& log, const std::string& marker) {
  std::vector<std::string> found;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t at = line.find(marker);
    if (at != std::string::npos) found.push_back(line.substr(at + marker.size()));
  }
  return found;
}

// The "commands" list of the simulator's state.
std::vector<std::string> Recorded(const std::string& state) {
  std::vector<std::string> commands;
  const std::size_t from = state.find("\"commands\": [");
  const std::size_t to = state.find(']', from);
  for (std::size_t at = state.find('"', from + 13); at < to; at = state.find('"', at + 1)) {
    const std::size_t end = state.find('"', at + 1);
    commands.push_back(state.substr(at + 1, end - at - 1));
    at = end;
  }
  return commands;
}

struct IdentifyCase {
  const char* setting;
  int code;
  const char* shown;
};

class IdentifyOnly : public ::testing::TestWithParam<IdentifyCase> {};

// Identifying asks nothing and programs nothing: the identification commands,
// then the resume command, and the firmware stays as it was.
TEST_P(IdentifyOnly, ShowsTheVerdictSendsTheResumeCommandAndProgramsNothing) {
  ConsoleOptions options;
  options.identify = true;
  const ConsoleRun run = RunConsoleAgainstSimulator({GetParam().setting}, options, "A.1121");
  EXPECT_EQ(run.code, GetParam().code) << run.out;
  EXPECT_NE(run.out.find(GetParam().shown), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("[Info]"), std::string::npos) << run.out;  // no question was asked
  const std::vector<std::string> commands = Recorded(run.state);
  ASSERT_GE(commands.size(), 2u) << run.state;
  EXPECT_EQ(commands.back(), "A.1121") << run.state;
  EXPECT_EQ(commands[commands.size() - 2], "A.4001") << run.state;
  EXPECT_NE(run.state.find("\"running\": \"firmware\""), std::string::npos) << run.state;
  EXPECT_NE(run.state.find("\"programs\": 0"), std::string::npos) << run.state;
}

INSTANTIATE_TEST_SUITE_P(
    Presets, IdentifyOnly,
    ::testing::Values(IdentifyCase{"version=1.10", kExitSuccess,
                                   "The version check would program the instrument."},
                      IdentifyCase{"version=1.20", kExitSuccess,
                                   "Same version: the instrument would be programmed"},
                      IdentifyCase{"version=1.30", kExitSuccess,
                                   "The instrument's software is newer"},
                      IdentifyCase{"device=28102.000", kExitNotProgrammed, "[Error] "}));

TEST(IdentifyOnly, ShowsTheIdentityAndTheVersionOnOffer) {
  ConsoleOptions options;
  options.identify = true;
  const ConsoleRun run = RunConsoleAgainstSimulator({"version=1.10"}, options, "A.1121");
  for (const char* shown : {"Name: 28101", "Serial number: ", "PCB number: ", "Version: 1.10",
                            "Version on offer: 1.20"}) {
    EXPECT_NE(run.out.find(shown), std::string::npos) << shown << "\n" << run.out;
  }
}

// The log of a whole update holds every command the instrument received, in
// order, with the replies, the boot-loader frames, the line settings and
// the result.
TEST(RunLog, AWholeUpdateAsTheInstrumentSawIt) {
  const ConsoleRun run = RunConsoleAgainstSimulator({"version=1.10"}, ConsoleOptions{}, "");
  ASSERT_EQ(run.code, kExitSuccess) << run.out;
  const std::vector<std::string> sent = Logged(run.log, " -> ");
  std::size_t next = 0;
  for (const std::string& command : Recorded(run.state)) {
    while (next < sent.size() && sent[next] != command) ++next;
    ASSERT_LT(next, sent.size()) << "not in the log: " << command << "\n" << run.log;
    ++next;
  }
  const std::vector<std::string> replies = Logged(run.log, " <- ");
  EXPECT_NE(std::find(replies.begin(), replies.end(), "!"), replies.end()) << run.log;
  EXPECT_FALSE(Logged(run.log, "frame BSL 0x12 RX data block, address 0x").empty()) << run.log;
  EXPECT_FALSE(Logged(run.log, " line 9600 8E1").empty()) << run.log;
  EXPECT_NE(run.log.find(" result: the instrument was updated\n"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find(" exit code 0\n"), std::string::npos);
  // Every line carries the time to the millisecond.
  std::istringstream lines(run.log);
  for (std::string line; std::getline(lines, line);) {
    ASSERT_TRUE(line.size() > 13 && line[2] == ':' && line[5] == ':' && line[8] == '.' &&
                line[12] == ' ')
        << line;
  }
}

}  // namespace
}  // namespace console
