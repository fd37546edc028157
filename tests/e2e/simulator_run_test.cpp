// The console program's whole runs against the simulated instrument, checked
// through the simulator's dump: what it received and what its flash holds.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

#include "../updater/simulator_process.h"
#include "../updater/temp_installation.h"
#include "core/text_helpers.h"
#include "loaders/back_ends.h"
#include "../updater/scripted_view.h"
#include "platform/plain_message_loop.h"
#include "ui/console/console_app.h"
#include "updater/update_form.h"
#include "updater/workflow/workflow.h"

namespace console {
namespace {

const bool kFastClock = ::setenv("UPDATER_TIME_SCALE", "20", 1) == 0;

struct SimRun {
  int code;
  std::string out;
  std::string state;
  std::map<std::string, std::string> labFiles;  ///< the Lab data files the instrument kept
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

// A copy of the classic sample installation that the test may change.
struct SampleCopy {
  updater::testing::TempInstallation dir;
  SampleCopy() {
    std::filesystem::copy(EXAMPLES_DIR "/msp430-classic", dir.Path(), std::filesystem::copy_options::recursive);
  }
};

SimRun RunAgainstSimulator(const std::vector<std::string>& settings, Answers answers, const std::string& lastCommand = "",
                           const SampleCopy& copy = SampleCopy()) {
  // The back-ends of the program: the MSP430 boot loaders.
  static const loaders::LoaderRegistry backEnds = loaders::ProgramBackEnds();
  updater::SetWorkflowMaker(updater::WorkflowWith(backEnds));
  updater::testing::TempInstallation dump;
  updater::testing::Simulator sim(dump.Path(), settings);
  EXPECT_FALSE(sim.Pty().empty());
  ConsoleOptions options;
  options.console = true;
  options.answers = answers;
  ::setenv("UPDATER_PORTS", sim.Pty().c_str(), 1);
  std::ostringstream out;
  std::istringstream in;
  const updater::Installation installation{copy.dir.Path(), copy.dir.Path()};
  const int code = RunConsole(options, installation, {out, in, false, false});
  ::unsetenv("UPDATER_PORTS");
  AwaitCommand(dump, lastCommand);
  sim.Stop();
  return {code, out.str(), dump.Read("state.json"), [&dump] {
            std::map<std::string, std::string> files;
            for (const auto& entry : std::filesystem::directory_iterator(dump.Path())) {
              const std::string name = entry.path().filename().string();
              if (name.starts_with("lab-")) files[name] = dump.Read(name);
            }
            return files;
          }()};
}

class SimulatorFamily : public ::testing::TestWithParam<const char*> {};

// Every family of identification replies leads to the same-version question.
TEST_P(SimulatorFamily, SameVersionAnsweredNoSendsTheResumeCommandAndExits2) {
  const SimRun run =
      RunAgainstSimulator({"version=1.20", std::string("family=") + GetParam()}, Answers::No, "A.1121");
  EXPECT_EQ(run.code, kExitNotProgrammed) << run.out;
  EXPECT_NE(run.out.find("The latest software version1.20 is already in device."), std::string::npos) << run.out;
  EXPECT_NE(run.state.find("\"A.2003\", \"A.2000\", \"A.2001\", \"A.4001\", \"A.1121\"]"), std::string::npos)
      << run.state;
}

INSTANTIATE_TEST_SUITE_P(Families, SimulatorFamily, ::testing::Values("23", "203", "2013"));

TEST(SimulatorRun, NewerInstrumentIsRefusedAndExits2) {
  const SimRun run = RunAgainstSimulator({"version=1.30"}, Answers::No);
  EXPECT_EQ(run.code, kExitNotProgrammed) << run.out;
  EXPECT_NE(run.out.find("[Error] No valid software version !!"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("The software version1.30 in your device is more up to date"), std::string::npos);
}

TEST(SimulatorRun, OlderInstrumentIsProgrammedAndReportsTheNewVersion) {
  const SimRun run = RunAgainstSimulator({"version=1.10"}, Answers::No);
  EXPECT_EQ(run.code, kExitSuccess) << run.out;
  EXPECT_NE(run.out.find("Download successfully completed !"), std::string::npos) << run.out;
  EXPECT_NE(run.state.find("\"firmware_version\": \"1.20\""), std::string::npos) << run.state;
  EXPECT_NE(run.state.find("\"air_pressure\": \"952.3\""), std::string::npos) << run.state;
}

// Firmware too old to know its serial number answers "A.4001" with "?": it is
// not asked, and the update goes on.
TEST(SimulatorRun, FirmwareWithoutSerialNumberIsProgrammedWithoutBeingAskedForIt) {
  const SimRun run = RunAgainstSimulator({"version=0.05"}, Answers::No);
  EXPECT_EQ(run.code, kExitSuccess) << run.out;
  EXPECT_NE(run.state.find("\"firmware_version\": \"1.20\""), std::string::npos) << run.state;
  EXPECT_EQ(run.state.find("A.4001"), std::string::npos) << run.state;
}

TEST(SimulatorRun, LabDataFilesFollowTheFirmwareAndArriveWhole) {
  SampleCopy copy;
  std::string profile = copy.dir.Read("ProgDevice.ini");
  const std::size_t at = profile.find("ProgFile2=MC1.TXT");
  ASSERT_NE(at, std::string::npos);
  profile.insert(at + 17, ",DATA\\*.*");
  // A type without air-pressure sensor: its finish ends the Lab dialogue with "U.606".
  profile = core::ReplaceAll(profile, "=28101\r\n", "=28102\r\n");
  copy.dir.Write("ProgDevice.ini", profile);
  std::string first;
  for (int i = 0; i < 600; ++i) first += static_cast<char>(i % 256);  // blocks of 255, 255 and 90 bytes
  copy.dir.Write("DATA/A.DAT", first);
  copy.dir.Write("DATA/B.DAT", "0123456789");

  const SimRun run = RunAgainstSimulator({"version=1.10", "device=28102.000"}, Answers::No, "U.606", copy);
  EXPECT_EQ(run.code, kExitSuccess) << run.out;
  EXPECT_NE(run.state.find("\"firmware_version\": \"1.20\""), std::string::npos) << run.state;
  EXPECT_NE(run.state.find("\"lab_files\": [\"data\\\\a.dat\", \"data\\\\b.dat\"]"), std::string::npos) << run.state;
  const std::map<std::string, std::string> expected{{"lab-data_a.dat", first}, {"lab-data_b.dat", "0123456789"}};
  EXPECT_EQ(run.labFiles, expected);
  EXPECT_NE(run.state.find("\"U.606\"]"), std::string::npos) << run.state;
}

// The window's logic with the real boot loaders against the simulator: a run
// that OK starts and the loop carries to its end, as in the window.
class SimulatorWindowRun {
 public:
  SimulatorWindowRun(const std::vector<std::string>& settings, const std::vector<std::string>& faults)
      : sim_(dump.Path(), settings, faults) {
    static const loaders::LoaderRegistry backEnds = loaders::ProgramBackEnds();
    ::setenv("UPDATER_PORTS", sim_.Pty().c_str(), 1);
    updater::SetWorkflowMaker(updater::WorkflowWith(backEnds));
    form = std::make_unique<updater::TUpdateForm>(loop, view, updater::Installation{copy.dir.Path(), copy.dir.Path()});
  }
  ~SimulatorWindowRun() { ::unsetenv("UPDATER_PORTS"); }

  bool RunUntilOutcome(updater::RunOutcome outcome, platform::Tick ms = 120000) {
    const platform::Tick deadline = loop.GetClock().Now() + ms;
    while (form->Outcome() != outcome && !platform::TickReached(loop.GetClock().Now(), deadline)) {
      loop.WaitForMessage(deadline);
      loop.ProcessPendingMessages();
    }
    return form->Outcome() == outcome;
  }

  bool SwitchOnWithBootKey() { return sim_.Act("power-cycle boot-key"); }

  std::string LastCalls() const {
    std::string text;
    const auto& calls = view.calls;
    for (std::size_t i = calls.size() > 25 ? calls.size() - 25 : 0; i < calls.size(); ++i) text += calls[i] + "\n";
    return text;
  }

  std::string State() {
    sim_.Stop();
    return dump.Read("state.json");
  }

  updater::testing::TempInstallation dump;
  SampleCopy copy;
  platform::PlainMessageLoop loop;
  updater::testing::ScriptedView view;
  std::unique_ptr<updater::TUpdateForm> form;

 private:
  updater::testing::Simulator sim_;
};

// The boot loader refuses the same data block four times: the programming is
// aborted with the instrument in its boot loader, half written. The next OK
// programs it again from the start, and the instrument comes up with the new
// firmware.
TEST(SimulatorWindow, AnAbortedProgrammingIsRepeatedByTheNextOk) {
  SimulatorWindowRun run({"version=1.10"}, {"nak:rx@5", "nak:rx@6", "nak:rx@7", "nak:rx@8"});
  ASSERT_TRUE(run.form->Start());
  run.form->OkBitBtnClick();
  ASSERT_TRUE(run.RunUntilOutcome(updater::RunOutcome::Failed)) << run.State();
  EXPECT_TRUE(run.view.okEnabled);
  EXPECT_TRUE(run.view.Called("log: Programming was aborted."));
  // What the abort text tells the user to do before pressing OK.
  ASSERT_TRUE(run.SwitchOnWithBootKey());
  run.form->OkBitBtnClick();
  ASSERT_TRUE(run.RunUntilOutcome(updater::RunOutcome::Succeeded)) << run.LastCalls() << run.State();
  const std::string state = run.State();
  EXPECT_NE(state.find("\"running\": \"firmware\""), std::string::npos) << state;
  EXPECT_NE(state.find("\"firmware_version\": \"1.20\""), std::string::npos) << state;
}

}  // namespace
}  // namespace console
