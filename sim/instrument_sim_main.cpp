// instrument-sim: a simulated measuring instrument on a pseudo-terminal.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "sim/dump_writer.h"
#include "sim/options.h"
#include "sim/server.h"

namespace {

int stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &byte, 1);
}

bool InstallStopSignals() {
  if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0 &&
         ::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(sim::UsageText().c_str(), stdout);
    return 0;
  }
  std::string error;
  std::optional<sim::SimOptions> options = sim::ParseOptions(args, std::getenv("UPDATER_TIME_SCALE"), error);
  if (!options) {
    std::fprintf(stderr, "instrument-sim: %s\n%s", error.c_str(), sim::UsageText().c_str());
    return 2;
  }
  if (!InstallStopSignals()) {
    std::perror("instrument-sim: signals");
    return 1;
  }
  sim::PtyTransport pty;
  if (const std::string failure = pty.Open(); !failure.empty()) {
    std::fprintf(stderr, "instrument-sim: %s\n", failure.c_str());
    return 1;
  }
  std::unique_ptr<sim::DumpWriter> dump;
  if (!options->dumpDir.empty()) {
    if (::mkdir(options->dumpDir.c_str(), 0755) != 0 && errno != EEXIST) {
      std::perror("instrument-sim: --dump-dir");
      return 1;
    }
    dump = std::make_unique<sim::DumpWriter>(options->dumpDir);
  }
  if (!options->link.empty() && !pty.Link(options->link)) {
    std::perror("instrument-sim: --link");
    return 1;
  }
  const std::unique_ptr<platform::Clock> clock = platform::MakeSteadyClock(options->timeScale);
  sim::Instrument instrument(std::move(options->config), std::move(options->faults), *clock);
  std::printf("PTY %s\n", pty.SlavePath().c_str());
  std::fflush(stdout);
  sim::Server server(pty, instrument, *clock,
                     {options->pace, options->timeScale, dump.get(), stopPipe[0], STDIN_FILENO, STDOUT_FILENO,
                      options->link.empty() ? nullptr : options->link.c_str()});
  const int result = server.Run();
  if (!options->link.empty()) ::unlink(options->link.c_str());
  return result;
}
