#pragma once
// Simulator: instrument-sim (the msp430-classic preset unless told) as a child process on
// its own pseudo-terminal, with a dump directory and the given `--set` values;
// its first output line names its pty, `faults` are its --fault rules, and `link` (when given) is a
// symbolic link that keeps pointing at the pty even when a new one replaces it. Its standard input stays open (the end
// of its input would stop it) until Stop, which ends it by its process id.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace updater::testing {

class Simulator {
 public:
  Simulator(const std::string& dumpDir, const std::vector<std::string>& settings,
            const std::vector<std::string>& faults = {}, const std::string& preset = "msp430-classic",
            const std::string& link = "") {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<std::string> args = {INSTRUMENT_SIM, "--preset", preset, "--dump-dir", dumpDir,
                                     "--time-scale", "20"};
    for (const std::string& setting : settings) {
      args.push_back("--set");
      args.push_back(setting);
    }
    if (!link.empty()) {
      args.push_back("--link");
      args.push_back(link);
    }
    for (const std::string& fault : faults) {
      args.push_back("--fault");
      args.push_back(fault);
    }
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
    if (output_ && std::fgets(line, sizeof line, output_) && std::strncmp(line, "PTY ", 4) == 0) {
      pty_ = std::string(line + 4, std::strcspn(line + 4, "\r\n"));
    }
  }
  ~Simulator() { Stop(); }
  const std::string& Pty() const { return pty_; }

  /// An operator action ("power-cycle", "power-cycle boot-key"); true once
  /// the simulator confirmed that it has been carried out.
  bool Act(const std::string& action) {
    const std::string line = action + "\n";
    if (::write(input_, line.data(), line.size()) != static_cast<ssize_t>(line.size()) || !output_) return false;
    // A simulator that does not confirm within five seconds fails the call
    // instead of hanging the test.
    pollfd ready{::fileno(output_), POLLIN, 0};
    if (::poll(&ready, 1, 5000) != 1) return false;
    char reply[256] = {};
    return std::fgets(reply, sizeof reply, output_) != nullptr && ("done " + line) == reply;
  }

  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = 0;
    ::close(input_);
    if (output_) std::fclose(output_);
    output_ = nullptr;
  }

 private:
  pid_t pid_ = 0;
  int input_ = -1;
  FILE* output_ = nullptr;
  std::string pty_;
};

}  // namespace updater::testing
