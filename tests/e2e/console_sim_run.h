#pragma once
// A whole console run (`--yes`) against the instrument simulator on a pty,
// from a copy of a sample installation, with the simulator's dump kept for
// the test to judge.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../updater/simulator_process.h"
#include "../updater/temp_installation.h"
#include "loaders/back_ends.h"
#include "ui/console/console_app.h"
#include "updater/workflow/workflow.h"

namespace console::testing {

struct ConsoleSimRun {
  int code = -1;
  std::string out;
  std::string state;
  updater::testing::TempInstallation install;
  updater::testing::TempInstallation dump;
};

/// The updater may end before the simulator has written its last command to
/// the dump: waits (bounded) for `lastCommand` to appear in its state.
inline void AwaitCommand(const updater::testing::TempInstallation& dump, const std::string& lastCommand) {
  for (int i = 0; i < 60; ++i) {
    if (dump.Read("state.json").find("\"" + lastCommand) != std::string::npos) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

/// The console's options of `--console --yes`.
inline ConsoleOptions AnsweringYes() {
  ConsoleOptions options;
  options.console = true;
  options.answers = Answers::Yes;
  return options;
}

/// One console session (--yes unless `options` say otherwise) of the installation at `install`
/// with `port` as the only port. With a `terminal`, the session's input is that terminal: asked
/// whether to start again, it answers from there.
inline int RunConsoleOn(const std::string& port, const std::string& install, std::string& out,
                        std::istream* terminal = nullptr, const ConsoleOptions& options = AnsweringYes()) {
  static const loaders::LoaderRegistry backEnds = loaders::ProgramBackEnds();
  updater::SetWorkflowMaker(updater::WorkflowWith(backEnds));
  ::setenv("UPDATER_PORTS", port.c_str(), 1);
  std::ostringstream text;
  std::istringstream in;
  const updater::Installation installation{install, install};
  const int code = RunConsole(options, installation, {text, terminal ? *terminal : in, false, terminal != nullptr});
  ::unsetenv("UPDATER_PORTS");
  out = text.str();
  return code;
}

/// Updates the `preset` instrument from examples/`preset` (changed by
/// `change` first, when given), with the simulator's `faults`.
inline void UpdateFromExample(ConsoleSimRun& run, const std::string& preset, const std::vector<std::string>& faults,
                              const std::string& lastCommand,
                              const std::function<void(const std::filesystem::path& install)>& change = {}) {
  std::filesystem::copy(std::string(EXAMPLES_DIR) + "/" + preset, run.install.Path(),
                        std::filesystem::copy_options::recursive);
  if (change) change(run.install.Path());
  updater::testing::Simulator sim(run.dump.Path(), {}, faults, preset);
  if (sim.Pty().empty()) return;
  run.code = RunConsoleOn(sim.Pty(), run.install.Path(), run.out);
  AwaitCommand(run.dump, lastCommand);
  sim.Stop();
  run.state = run.dump.Read("state.json");
}

}  // namespace console::testing
