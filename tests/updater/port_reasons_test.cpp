// Ports that cannot be used: the console ends at once and says why for each
// port, the window says the same and lets OK be pressed again, and
// --list-ports shows every port with its state.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <sstream>

#include "installation_fixture.h"
#include "platform/plain_message_loop.h"
#include "port_holder.h"
#include "pty_pair.h"
#include "scripted_view.h"
#include "ui/console/port_listing.h"
#include "updater/workflow/workflow.h"

extern char** environ;

namespace updater {
namespace {

using testing::PortHolder;
using testing::PtyPairs;

struct ProgramRun {
  int code = -1;
  std::string out;
  std::chrono::milliseconds took{};
};

// Runs instrument-updater with `args`, standard output captured.
ProgramRun RunProgram(std::vector<std::string> args) {
  args.insert(args.begin(), INSTRUMENT_UPDATER);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int out[2];
  if (::pipe(out) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  ProgramRun run;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  const int spawned =
      ::posix_spawn(&pid, INSTRUMENT_UPDATER, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  char buffer[512];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
    run.out.append(buffer, static_cast<std::size_t>(n));
  ::close(out[0]);
  int status = 0;
  if (spawned == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
    run.code = WEXITSTATUS(status);
  run.took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  return run;
}

TEST(NoUsablePort, TheConsoleEndsAtOnceWithTheReasonOfEachPort) {
  PtyPairs ptys(1);
  const PortHolder holder(ptys.Path(0));
  ASSERT_TRUE(holder.Held());
  const ProgramRun run =
      RunProgram({"--console", "--ports", "/dev/nonexist,/dev/null," + ptys.Path(0)});
  EXPECT_EQ(run.code, 3) << run.out;
  EXPECT_LT(run.took.count(), 1000);
  for (const std::string& line : {std::string("COM1 (/dev/nonexist): not present"),
                                  std::string("COM2 (/dev/null): not a serial device"),
                                  "COM3 (" + ptys.Path(0) + "): in use by port-holder (pid " +
                                      std::to_string(holder.Pid()) + ")"}) {
    EXPECT_NE(run.out.find(line + "\n"), std::string::npos) << line << "\n" << run.out;
  }
}

TEST(NoUsablePort, TheWindowShowsTheReasonsAtOkAndEnablesOkAgain) {
  testing::InstallationFixture installation("Language=1\r\nVersion=1.2\r\nBaud=\r\nCom=\r\n");
  ::setenv("UPDATER_PORTS", "/dev/nonexist", 1);
  static const loaders::LoaderRegistry none;
  SetWorkflowMaker(WorkflowWith(none));
  platform::PlainMessageLoop loop;
  testing::ScriptedView view;
  TUpdateForm form(loop, view, installation.Paths());
  ASSERT_TRUE(form.Start());
  view.calls.clear();
  form.OkBitBtnClick();
  ::unsetenv("UPDATER_PORTS");
  SetWorkflowMaker(nullptr);
  EXPECT_EQ(form.Outcome(), RunOutcome::NotFound);
  EXPECT_TRUE(view.okEnabled);
  EXPECT_TRUE(view.Called("log: No usable serial port found!"));
  EXPECT_TRUE(view.Called("log: COM1 (/dev/nonexist): not present"));
}

TEST(ListPorts, EachPortInComOrderWithItsState) {
  PtyPairs ptys(2);
  const PortHolder holder(ptys.Path(1));
  ASSERT_TRUE(holder.Held());
  ::setenv("UPDATER_PORTS", (ptys.Path(0) + "," + ptys.Path(1) + ",/dev/nonexist").c_str(), 1);
  std::ostringstream out;
  EXPECT_EQ(console::ListPorts(out), 3);
  EXPECT_EQ(out.str(), "COM1  " + ptys.Path(0) + "  usable\nCOM2  " + ptys.Path(1) +
                           "  held by port-holder (pid " + std::to_string(holder.Pid()) +
                           ")\nCOM3  /dev/nonexist  absent\n");
}

}  // namespace
}  // namespace updater
