#pragma once
// Starting another program and waiting for its end.
//
// How to use it:
//   platform::ProcessStart start;
//   start.program = directory + "/HEXLoad_8N1";          // a path; PATH is not searched
//   start.arguments = {file, "-com3", "-baudrate38400", "-auto", "-exit"};
//   start.environment = {{"UPDATER_PORTS", "/dev/ttyUSB0,/dev/ttyS1"}};
//   platform::StartResult started = platform::StartProcess(start);
//   if (!started) { show StartErrorText(started.error) and the program; fail }
//   while (!started.process->WaitForEnd(200)) loop.ProcessPendingMessages();
//   int code = started.process->ExitCode();
//
// The program is started directly with posix_spawn (never through a shell):
// argv[0] is `program`, then the arguments exactly as given. It inherits the
// caller's working directory, standard streams and environment; each entry of
// `environment` adds a variable or replaces one of the same name, for the
// child only. Descriptors the caller opened without O_CLOEXEC are inherited too.
//
// Results, not exceptions: a program that cannot be started gives a StartResult
// without a process and the reason. Waiting never spins: WaitForEnd blocks on
// the process's descriptor (pidfd) up to its time-out, in logical milliseconds
// of SystemClock() (so UPDATER_TIME_SCALE shortens it like every other wait).
// Where the system gives no process descriptor (an old kernel, a sandbox that
// forbids pidfd_open), it asks for the end in short sleeps instead.
// A program whose end cannot be collected (SIGCHLD ignored: the system
// collects it itself) counts as ended with its result unknown, kEndUnknown.
// A ChildProcess belongs to the thread that started it.
#include <sys/types.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"

namespace platform {

struct ProcessStart {
  std::string
      program;  ///< path of the executable (relative to the working directory unless absolute)
  std::vector<std::string> arguments;                            ///< argv[1] ...
  std::vector<std::pair<std::string, std::string>> environment;  ///< added or replaced variables
};

enum class StartError {
  kNone,
  kNotFound,       ///< no file at the program's path
  kNotExecutable,  ///< the file exists but cannot be run (no permission, not a program)
  kFailed,         ///< the system could not create the process (see errorNumber)
};

/// Opens the process descriptor of `pid`: the descriptor, or -1 with errno
/// set when the system gives none.
using PidFdOpener = int (*)(pid_t pid);
int OpenPidFd(pid_t pid);

/// A started program. Destroying the handle of a program that still runs does
/// not stop it; a background thread then collects its end so that no zombie
/// remains.
class ChildProcess {
 public:
  /// ExitCode() of a program that has ended without its result being known.
  static constexpr int kEndUnknown = -2;

  /// `pidFd` -1: there is no process descriptor; waits poll in short sleeps.
  ChildProcess(pid_t pid, int pidFd) : pid_(pid), pidFd_(pidFd) {}
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  /// True once the program has ended (does not block).
  bool HasEnded() { return WaitForEnd(0); }
  /// Blocks until the program ends or `ms` logical milliseconds have passed;
  /// true when it has ended.
  bool WaitForEnd(Tick ms);
  /// The exit code once it has ended: the program's exit status, or 128 plus
  /// the signal number when a signal ended it, or kEndUnknown when its end
  /// could not be collected; -1 while it runs.
  int ExitCode() const { return exitCode_; }
  pid_t Pid() const { return pid_; }

 private:
  bool Reap();
  bool SleepUntilEnd(Tick ms);

  pid_t pid_;
  int pidFd_;
  int exitCode_ = -1;
  bool ended_ = false;
};

struct StartResult {
  std::unique_ptr<ChildProcess> process;  ///< null when the program could not be started
  StartError error = StartError::kNone;
  int errorNumber = 0;  ///< errno of the failure (0 on success)
  explicit operator bool() const { return process != nullptr; }
};

/// `openPidFd` is the system's unless a test puts one in its place.
StartResult StartProcess(const ProcessStart& start, PidFdOpener openPidFd = OpenPidFd);

/// A short English reason for the user: "not found", "not executable", ...
const char* StartErrorText(StartError error);

/// The environment for a child: every "NAME=VALUE" of `current` (a
/// null-terminated list like `environ`) except those `changes` replace,
/// then the changes in their order.
std::vector<std::string> MergeEnvironment(
    char* const* current, const std::vector<std::pair<std::string, std::string>>& changes);

}  // namespace platform
