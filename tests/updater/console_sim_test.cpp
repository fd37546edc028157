// The console program against the simulated instrument: it starts up from a
// sample installation, opens the simulator's port and writes the identify
// command, which the simulator records in its dump.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "simulator_process.h"
#include "temp_installation.h"
#include "ui/console/console_app.h"

namespace console {
namespace {

// Protocol waits run 20 times faster; set before the clock is first used.
const bool kFastClock = ::setenv("UPDATER_TIME_SCALE", "20", 1) == 0;

using updater::testing::TempInstallation;

TEST(ConsoleWithSimulator, StartsFromTheSampleInstallationAndWritesTheIdentifyCommand) {
  TempInstallation dump;
  // Until the search steps through the baud rates, the instrument listens at
  // the line settings the ports are opened with (4800 bit/s, 2 stop bits).
  updater::testing::Simulator sim(dump.Path(), {"baud=4800"});
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

bool Exists(const std::string& link) {
  struct stat seen {};
  return ::lstat(link.c_str(), &seen) == 0;
}

// A pulled adapter's name goes with it. Left behind, the name would point at
// the next pseudo-terminal that gets the same number, another test's
// instrument, and a program that opens it would talk to that one.
TEST(SimulatorPort, APulledAdapterTakesItsNameAlongAndGetsItBackWhenPluggedIn) {
  TempInstallation dump;
  const std::string link = dump.Path() + "/port";
  updater::testing::Simulator sim(dump.Path(), {"baud=4800"}, {"unplug:A.1111"}, "msp430-classic", link);
  ASSERT_FALSE(sim.Pty().empty());
  const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  termios line{};
  ASSERT_EQ(::tcgetattr(fd, &line), 0);
  ::cfmakeraw(&line);
  ::cfsetspeed(&line, B4800);
  line.c_cflag |= CSTOPB;
  ASSERT_EQ(::tcsetattr(fd, TCSANOW, &line), 0);
  ASSERT_EQ(::write(fd, "A.1111\r\n", 8), 8);
  for (int i = 0; i < 100 && Exists(link); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ::close(fd);
  EXPECT_FALSE(Exists(link));
  ASSERT_TRUE(sim.Act("clear-faults"));
  EXPECT_TRUE(Exists(link));
}

}  // namespace
}  // namespace console
