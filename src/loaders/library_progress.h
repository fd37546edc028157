#pragma once
// LibraryProgress: the library worker's progress reports, carried to the main
// thread. The worker (any thread) adds reports and wakes the message loop with
// kWakeMessage (a message number no window handler acts on); the main thread,
// waiting on that loop, applies them in their order to the wait progress bar
// and the progress report. The view is never touched from the worker.
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/message_loop.h"
#include "updater/update_view.h"
#include "updater/window_output.h"

namespace loaders {

class LibraryProgress {
 public:
  static constexpr std::uint32_t kWakeMessage = 0x8801;

  explicit LibraryProgress(platform::MessageLoop& loop) : loop_(loop) {}

  // Worker side, thread-safe.
  /// One of the driver's own steps: the bar one further, `percent` reported.
  void Step(float percent) { Add({Kind::Advance, 0, percent}); }
  /// The library's percentage p: the bar at p + 5, p x 0.95 + 5 reported, so
  /// that 0 to 100 % fill what the five steps leave.
  void Library(int percent) {
    Add({Kind::SetBar, percent + 5, static_cast<float>(percent) * 0.95f + 5.0f});
  }
  /// The pass is over.
  void Ended() { Add({Kind::End, 0, 0.0f}); }

  /// Main thread: applies what arrived since the last call; true once the
  /// end of the pass has been applied.
  bool Deliver(updater::UpdateView& view, updater::TWindowOutput& output);

 private:
  enum class Kind { Advance, SetBar, End };
  struct Report {
    Kind kind;
    int bar;
    float percent;
  };

  void Add(Report report);

  platform::MessageLoop& loop_;
  std::mutex mutex_;  // guards pending_
  std::vector<Report> pending_;
  bool ended_ = false;  // main thread only
};

}  // namespace loaders
