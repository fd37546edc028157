#include "ui/console/interrupt_watcher.h"

#include <pthread.h>
#include <unistd.h>

#include "ui/console/console_app.h"
#include "updater/update_form.h"

namespace console {
namespace {

// Sent by the destructor to end the watcher's wait.
constexpr int kStopSignal = SIGUSR1;

}  // namespace

InterruptWatcher::InterruptWatcher(platform::MessageLoop& loop) : loop_(loop) {
  sigemptyset(&watched_);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, kStopSignal}) sigaddset(&watched_, signal);
  pthread_sigmask(SIG_BLOCK, &watched_, &previous_);
  thread_ = std::thread([this] { Watch(); });
}

InterruptWatcher::~InterruptWatcher() {
  pthread_kill(thread_.native_handle(), kStopSignal);
  thread_.join();
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

void InterruptWatcher::Watch() {
  bool interrupted = false;
  for (;;) {
    int signal = 0;
    if (sigwait(&watched_, &signal) != 0 || signal == kStopSignal) return;
    if (interrupted) ::_exit(ExitCodeOfSignal(signal));
    interrupted = true;
    loop_.Post({updater::WM_INTERRUPT, signal});
  }
}

}  // namespace console
