#pragma once
// PortHolder: another program that holds a serial device, as a terminal
// program would: a child process named "port-holder" that opens the device,
// locks it and waits until the test ends it.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace updater::testing {

class PortHolder {
 public:
  explicit PortHolder(const std::string& path) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {  // only async-signal-safe calls from here on
      ::prctl(PR_SET_NAME, "port-holder");
      const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
      const char ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? '1' : '0';
      (void)!::write(ready[1], &ok, 1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char ok = '0';
    held_ = ::read(ready[0], &ok, 1) == 1 && ok == '1';
    ::close(ready[0]);
  }
  ~PortHolder() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  PortHolder(const PortHolder&) = delete;
  PortHolder& operator=(const PortHolder&) = delete;

  bool Held() const { return held_; }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  bool held_ = false;
};

}  // namespace updater::testing
