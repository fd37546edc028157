// The console program against the simulated instrument: it starts up from a
// sample installation, opens the simulator's port and writes the identify
// command, which the simulator records in its dump.
#include <gtest/gtest.h>

#include <cstdlib>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <sstream>

#include "temp_installation.h"
#include "ui/console/console_app.h"

extern char** environ;

namespace console {
namespace {

// Protocol waits run 20 times faster; set before the clock is first used.
const bool kFastClock = ::setenv("UPDATER_TIME_SCALE", "20", 1) == 0;

using updater::testing::TempInstallation;

// instrument-sim as a child process; its first output line names its pty. Its
// standard input stays open (end of input stops it) until the destructor.
class Simulator {
 public:
  Simulator(const std::string& preset, const std::string& dumpDir) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    // Until the search steps through the baud rates, the instrument listens at
    // the line settings the ports are opened with (4800 bit/s, 2 stop bits).
    std::vector<std::string> args = {INSTRUMENT_SIM, "--preset",        preset, "--dump-dir", dumpDir,
                                     "--set",        "baud=4800",       "--set", "stop_bits=2", "--time-scale", "20"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::posix_spawn(&pid_, INSTRUMENT_SIM, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    output_ = ::fdopen(out[0], "r");
    char line[256] = {};
    if (output_ && std::fgets(line, sizeof line, output_) && std::string_view(line).substr(0, 4) == "PTY ") {
      pty_ = std::string(line + 4, std::strcspn(line + 4, "\r\n"));
    }
  }
  ~Simulator() { Stop(); }

  const std::string& Pty() const { return pty_; }

  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = 0;
    ::close(input_);
    if (output_) std::fclose(output_);
  }

 private:
  pid_t pid_ = 0;
  int input_ = -1;
  FILE* output_ = nullptr;
  std::string pty_;
};

TEST(ConsoleWithSimulator, StartsFromTheSampleInstallationAndWritesTheIdentifyCommand) {
  TempInstallation dump;
  Simulator sim("msp430-classic", dump.Path());
  ASSERT_FALSE(sim.Pty().empty());

  ConsoleOptions options;
  options.console = options.debug = true;
  options.ports = {sim.Pty()};
  updater::Installation installation{EXAMPLES_DIR "/msp430-classic", EXAMPLES_DIR "/msp430-classic"};
  ::setenv("UPDATER_PORTS", sim.Pty().c_str(), 1);
  std::ostringstream out;
  std::istringstream in;
  const int code = RunConsole(options, installation, {out, in, false, false});
  ::unsetenv("UPDATER_PORTS");
  sim.Stop();

  EXPECT_NE(out.str().find("Connect the "), std::string::npos) << out.str();  // the English start text
  EXPECT_NE(out.str().find("Ports: COM1 (" + sim.Pty() + ")"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("A.1111"), std::string::npos) << out.str();  // the debug mode's command log
  EXPECT_NE(dump.Read("state.json").find("A.1111"), std::string::npos) << dump.Read("state.json");
  // The instrument acknowledged (no instrument would give kExitNotFound); the
  // update run itself is not available yet.
  EXPECT_EQ(code, kExitFailed);
}

}  // namespace
}  // namespace console
