#pragma once
// The window's services as a loader gets them, for tests: message loop, queue
// and drain, timers, delays, the view that records boxes and progress, the
// window output and the run's record. Context() hands them out with any port.
#include <memory>
#include <string>
#include <vector>

#include "core/delay.h"
#include "core/event_drain.h"
#include "core/events.h"
#include "core/timer_pool.h"
#include "loaders/loader_context.h"
#include "platform/clock.h"
#include "platform/plain_message_loop.h"
#include "recording_view.h"
#include "updater/device_record.h"
#include "updater/window_output.h"

namespace loaders::test {

/// A clock 20 times faster than real time for a loader's pauses and watchdog:
/// a watchdog of 8 or 10 s still spans 400 or 500 ms, longer than a loaded
/// machine stalls a test between two answers.
inline const platform::Clock& FastLoaderClock() {
  static const std::unique_ptr<platform::Clock> clock = platform::MakeSteadyClock(20);
  return *clock;
}

class LoaderServices {
 public:
  /// `clock` drives the loop, the timers and the delays; a faster one makes
  /// the loaders' long pauses and watchdogs short.
  explicit LoaderServices(const platform::Clock& clock = platform::SystemClock()) : loop_(clock) {
    timers_.TimerRegister(5);
    wait_.SetEnable(true);
    output.SetLanguage(1);
  }

  LoaderContext Context(LoaderPort& port, const std::string& workDir) {
    return LoaderContext{1,      view,   output, wait_, events_, timers_, loop_, [this] { drain_.ProcessEvents(); },
                         record, port,   nullptr,
                         LoaderConfig{startCmdIndex, [this](std::int32_t) { return progDefFile; }, workDir, workDir},
                         [this](bool succeeded) { downloadEnds.push_back(succeeded); },
                         [this] { return interrupted; }};
  }

  platform::PlainMessageLoop& Loop() { return loop_; }
  core::TEvents& Events() { return events_; }
  core::TEventDrain& Drain() { return drain_; }
  core::TDelay& Wait() { return wait_; }

  RecordingView view;
  updater::DeviceRecord record;
  updater::TWindowOutput output{view, record};
  std::int32_t startCmdIndex = 0;
  std::string progDefFile;
  std::vector<bool> downloadEnds;  ///< what downloadEnded was told, in order
  bool interrupted = false;        ///< what the context's `interrupted` tells

 private:
  platform::PlainMessageLoop loop_;
  core::TEvents events_;
  core::TEventDrain drain_{events_, loop_};
  core::TTimerPool timers_{loop_, events_, [this] { drain_.ProcessEvents(); }};
  core::TDelay wait_{loop_};
};

}  // namespace loaders::test
