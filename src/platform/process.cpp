#include "platform/process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace platform {
namespace {

// Why a program at `path` cannot run, judged before the spawn so that the
// answer does not depend on what the C library reports from inside the child.
StartError CheckProgram(const std::string& path, int& err) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    err = errno;
    return err == ENOENT || err == ENOTDIR ? StartError::kNotFound : StartError::kNotExecutable;
  }
  if (!S_ISREG(info.st_mode) || ::access(path.c_str(), X_OK) != 0) {
    err = S_ISREG(info.st_mode) ? errno : EACCES;
    return StartError::kNotExecutable;
  }
  return StartError::kNone;
}

StartError SpawnError(int err) {
  switch (err) {
    case EACCES:
    case ENOEXEC:
    case EPERM:
    case ENOENT:  // the file is there (checked), so its interpreter is missing
      return StartError::kNotExecutable;
    default:
      return StartError::kFailed;
  }
}

// How often the end is asked for where there is no process descriptor.
constexpr std::chrono::milliseconds kPollStep{10};

int PollTimeout(Tick ms) {
  if (ms == 0) return 0;
  const auto real = std::chrono::ceil<std::chrono::milliseconds>(SystemClock().RealDuration(ms));
  return static_cast<int>(real.count());
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> out;
  out.reserve(texts.size() + 1);
  for (std::string& text : texts) out.push_back(text.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

std::vector<std::string> MergeEnvironment(
    char* const* current, const std::vector<std::pair<std::string, std::string>>& changes) {
  std::vector<std::string> out;
  for (char* const* entry = current; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const std::string_view name = text.substr(0, text.find('='));
    bool replaced = false;
    for (const auto& change : changes) replaced = replaced || change.first == name;
    if (!replaced) out.emplace_back(text);
  }
  for (const auto& [name, value] : changes) out.push_back(name + "=" + value);
  return out;
}

int OpenPidFd(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

StartResult StartProcess(const ProcessStart& start, PidFdOpener openPidFd) {
  StartResult result;
  result.error = CheckProgram(start.program, result.errorNumber);
  if (result.error != StartError::kNone) return result;

  std::vector<std::string> argvTexts{start.program};
  argvTexts.insert(argvTexts.end(), start.arguments.begin(), start.arguments.end());
  std::vector<std::string> envTexts = MergeEnvironment(environ, start.environment);
  std::vector<char*> argv = Pointers(argvTexts);
  std::vector<char*> envp = Pointers(envTexts);

  pid_t pid = 0;
  const int rc =
      ::posix_spawn(&pid, start.program.c_str(), nullptr, nullptr, argv.data(), envp.data());
  if (rc != 0) {
    result.error = SpawnError(rc);
    result.errorNumber = rc;
    return result;
  }
  // Without a descriptor (ENOSYS, or EPERM from a sandbox) the end is polled.
  result.process = std::make_unique<ChildProcess>(pid, openPidFd(pid));
  return result;
}

const char* StartErrorText(StartError error) {
  switch (error) {
    case StartError::kNone:
      return "started";
    case StartError::kNotFound:
      return "not found";
    case StartError::kNotExecutable:
      return "not executable";
    case StartError::kFailed:
      return "could not be started";
  }
  return "could not be started";
}

ChildProcess::~ChildProcess() {
  if (pidFd_ >= 0) ::close(pidFd_);
  if (!ended_) std::thread([pid = pid_] { ::waitpid(pid, nullptr, 0); }).detach();
}

bool ChildProcess::WaitForEnd(Tick ms) {
  if (ended_) return true;
  if (pidFd_ < 0) return SleepUntilEnd(ms);
  pollfd fd{pidFd_, POLLIN, 0};
  ::poll(&fd, 1, PollTimeout(ms));  // EINTR or time-out: Reap tells
  return Reap();
}

bool ChildProcess::SleepUntilEnd(Tick ms) {
  const Clock& clock = SystemClock();
  const Tick deadline = clock.Now() + ms;
  while (!Reap()) {
    const Tick left = TicksUntil(clock.Now(), deadline);
    if (left == 0) return false;
    std::this_thread::sleep_for(std::min<std::chrono::nanoseconds>(kPollStep, clock.RealDuration(left)));
  }
  return true;
}

// Any error of waitpid but EINTR stays: ECHILD when the system collected the
// program itself (SIGCHLD ignored), EINVAL never for these arguments. Asking
// again would never end, so the program counts as ended, result unknown.
bool ChildProcess::Reap() {
  int status = 0;
  pid_t got = 0;
  do {
    got = ::waitpid(pid_, &status, WNOHANG);
  } while (got < 0 && errno == EINTR);
  if (got == 0) return false;
  ended_ = true;
  if (got < 0) {
    exitCode_ = kEndUnknown;
  } else {
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  return true;
}

}  // namespace platform
