#pragma once
// InterruptWatcher: turns Ctrl+C (SIGINT), SIGTERM and SIGHUP into an orderly
// stop of the run: the frame on the line is finished, the ports get their line
// settings back, and the console exits with 128 + the signal's number.
//
// Construct it on the main thread before any other thread starts (the serial
// threads inherit the blocked signals). A watcher thread waits for the
// signals with sigwait: the first posts WM_INTERRUPT with the signal's number
// to the message loop; a second one ends the process at once (exit code 128 +
// its number), for a session that cannot stop (waiting for an answer on the
// terminal). The destructor stops the thread and restores the signal mask.
#include <signal.h>

#include <thread>

#include "platform/message_loop.h"

namespace console {

class InterruptWatcher {
 public:
  explicit InterruptWatcher(platform::MessageLoop& loop);
  ~InterruptWatcher();
  InterruptWatcher(const InterruptWatcher&) = delete;
  InterruptWatcher& operator=(const InterruptWatcher&) = delete;

 private:
  void Watch();

  platform::MessageLoop& loop_;
  sigset_t watched_;
  sigset_t previous_;
  std::thread thread_;
};

}  // namespace console
