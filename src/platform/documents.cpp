#include "platform/documents.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

namespace platform {
namespace {

constexpr int kVerdictMs = 5000;

bool ExitedWell(int status) { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }

// Waits for the child up to kVerdictMs without spinning (a pidfd becomes
// readable when the process ends). True once it has ended, with its status.
bool WaitBounded(pid_t pid, int& status) {
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (pidfd < 0) return ::waitpid(pid, &status, 0) == pid;  // old kernel: wait for good
  pollfd p{pidfd, POLLIN, 0};
  const int ready = ::poll(&p, 1, kVerdictMs);
  ::close(pidfd);
  return ready > 0 && ::waitpid(pid, &status, 0) == pid;
}

}  // namespace

bool OpenDocument(const std::string& path) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  char program[] = "xdg-open";
  std::string document = path;
  char* argv[] = {program, document.data(), nullptr};
  pid_t pid = 0;
  const int rc = ::posix_spawnp(&pid, program, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  int status = 0;
  if (WaitBounded(pid, status)) return ExitedWell(status);
  std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
  return true;
}

}  // namespace platform
