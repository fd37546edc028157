#include "platform/documents.h"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include "platform/process.h"

extern char** environ;

namespace platform {
namespace {

constexpr Tick kVerdictMs = 5000;

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
  // Bounded, never spinning; one still running is collected when `opener` goes.
  ChildProcess opener(pid, OpenPidFd(pid));
  if (!opener.WaitForEnd(kVerdictMs)) return true;
  // An end that could not be collected tells nothing against the document.
  return opener.ExitCode() == 0 || opener.ExitCode() == ChildProcess::kEndUnknown;
}

}  // namespace platform
