// The console program's whole runs against the simulated instrument, checked
// through the simulator's dump: what it received and what its flash holds.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "../updater/simulator_process.h"
#include "../updater/temp_installation.h"
#include "loaders/msp430_loader_factory.h"
#include "ui/console/console_app.h"
#include "updater/workflow/unavailable_loaders.h"
#include "updater/workflow/workflow.h"

namespace console {
namespace {

const bool kFastClock = ::setenv("UPDATER_TIME_SCALE", "20", 1) == 0;

struct SimRun {
  int code;
  std::string out;
  std::string state;
};

// The updater may exit before the simulator has read its last command from the
// line: wait (bounded) for `lastCommand` to reach the dump before stopping it.
void AwaitCommand(updater::testing::TempInstallation& dump, const std::string& lastCommand) {
  if (lastCommand.empty()) return;
  for (int i = 0; i < 60; ++i) {
    if (dump.Read("state.json").find("\"" + lastCommand + "\"") != std::string::npos) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

SimRun RunAgainstSimulator(const std::string& version, Answers answers, const std::string& lastCommand = "") {
  // The back-ends of the program: the MSP430 boot loaders.
  static updater::UnavailableLoaderFactory unavailable;
  static loaders::Msp430LoaderFactory backEnds(unavailable);
  updater::SetWorkflowMaker(updater::WorkflowWith(backEnds));
  updater::testing::TempInstallation dump;
  updater::testing::Simulator sim(dump.Path(), {"version=" + version});
  EXPECT_FALSE(sim.Pty().empty());
  ConsoleOptions options;
  options.console = true;
  options.answers = answers;
  ::setenv("UPDATER_PORTS", sim.Pty().c_str(), 1);
  std::ostringstream out;
  std::istringstream in;
  const updater::Installation installation{EXAMPLES_DIR "/msp430-classic", EXAMPLES_DIR "/msp430-classic"};
  const int code = RunConsole(options, installation, {out, in, false, false});
  ::unsetenv("UPDATER_PORTS");
  AwaitCommand(dump, lastCommand);
  sim.Stop();
  return {code, out.str(), dump.Read("state.json")};
}

TEST(SimulatorRun, SameVersionAnsweredNoSendsTheResumeCommandAndExits2) {
  const SimRun run = RunAgainstSimulator("1.20", Answers::No, "A.1121");
  EXPECT_EQ(run.code, kExitNotProgrammed) << run.out;
  EXPECT_NE(run.out.find("The latest software version1.20 is already in device."), std::string::npos) << run.out;
  EXPECT_NE(run.state.find("\"A.4001\", \"A.1121\"]"), std::string::npos) << run.state;
}

TEST(SimulatorRun, NewerInstrumentIsRefusedAndExits2) {
  const SimRun run = RunAgainstSimulator("1.30", Answers::No);
  EXPECT_EQ(run.code, kExitNotProgrammed) << run.out;
  EXPECT_NE(run.out.find("[Error] No valid software version !!"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("The software version1.30 in your device is more up to date"), std::string::npos);
}

TEST(SimulatorRun, OlderInstrumentIsProgrammedAndReportsTheNewVersion) {
  const SimRun run = RunAgainstSimulator("1.10", Answers::No);
  EXPECT_EQ(run.code, kExitSuccess) << run.out;
  EXPECT_NE(run.out.find("Download successfully completed !"), std::string::npos) << run.out;
  EXPECT_NE(run.state.find("\"firmware_version\": \"1.20\""), std::string::npos) << run.state;
  EXPECT_NE(run.state.find("\"air_pressure\": \"952.3\""), std::string::npos) << run.state;
}

}  // namespace
}  // namespace console
