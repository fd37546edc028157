#pragma once
// QtMessageLoop: the main thread's message loop inside Qt's event loop.
//
// Posted messages and timer expiries are kept in this loop's own queue and
// timer list and are delivered only by ProcessPendingMessages, as with the
// plain loop. What calls it depends on where the main thread is:
// - in Qt's own loop (the window idles, or a modal dialog of RunModal is open):
//   a post or a due timer wakes Qt (a posted QEvent, a single-shot QTimer) and
//   the loop delivers at once;
// - in WaitForMessage: Qt's loop runs nested and keeps the window alive (paint,
//   input, the window's own handlers), and a post, a due timer or the deadline
//   only ends the wait; the caller delivers;
// - in IdleWithoutDelivering: Qt's loop runs nested so that the window
//   repaints, but nothing is delivered: no message, no timer, and no mouse or
//   key input reaches any widget. Input that arrives meanwhile is held and
//   handed on, in its order, when the idle ends.
// No state spins: every wait blocks in Qt's loop (or, once Qt's loop is
// quitting, on a condition variable) until a post, a timer or a deadline.
//
// Threads: Post() from any thread; everything else on the thread that owns
// the QCoreApplication. Construct after the QApplication; destroy before it,
// after every thread that posts has stopped.
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/message_loop.h"

class QDialog;
class QEventLoop;

namespace ui_qt {

class QtMessageLoop final : public QObject, public platform::MessageLoop {
 public:
  explicit QtMessageLoop(const platform::Clock& clock = platform::SystemClock());
  ~QtMessageLoop() override;
  QtMessageLoop(const QtMessageLoop&) = delete;
  QtMessageLoop& operator=(const QtMessageLoop&) = delete;

  void SetMessageHandler(MessageHandler handler) override;
  bool Post(platform::Message message) override;
  std::unique_ptr<platform::Timer> CreateTimer(std::function<void()> onExpiry) override;
  void ProcessPendingMessages() override;
  bool WaitForMessage(platform::Tick deadline) override;
  void IdleWithoutDelivering(platform::Tick ms) override;
  const platform::Clock& GetClock() const override { return clock_; }

  /// Stops accepting posts (Post returns false from now on).
  void Shutdown();

  /// Shows a modal dialog; while it is open, messages and timers are delivered
  /// as they come. Returns the dialog's result.
  int RunModal(QDialog& dialog);

  /// True while the logic runs: a delivery is in progress, or a wait, an idle
  /// or a modal dialog of RunModal is open.
  bool Busy() const { return modes_.size() > 1 || delivering_ > 0; }
  /// Called whenever the loop has delivered from Qt's own loop and the logic
  /// is no longer busy (the window runs deferred work then).
  void SetNotBusyHook(std::function<void()> hook) { notBusyHook_ = std::move(hook); }

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class LoopTimer;
  enum class Mode { Deliver, Wait, Idle };
  struct HeldInput {
    QPointer<QObject> receiver;
    std::unique_ptr<QEvent> event;
  };

  void OnWake();
  void PostWake();
  void PostWakeLocked();
  bool HasPending();
  bool AnyTimerDue(platform::Tick now) const;
  bool NextTimerDue(platform::Tick& due) const;
  void FireDueTimers();
  void RearmTimerWake();
  void AfterNestedLoop();
  /// Runs Qt's loop nested until `until` (or a wake in Wait mode); false when
  /// Qt's loop is quitting and no nested loop can run.
  bool RunNested(Mode mode, platform::Tick until);
  void BlockOnQueue(platform::Tick until);
  void ReleaseHeldInput();

  const platform::Clock& clock_;
  MessageHandler handler_;

  std::mutex mutex_;  // guards queue_, accepting_, wakePosted_, nextWake_
  std::condition_variable arrived_;
  std::deque<platform::Message> queue_;
  bool accepting_ = true;
  bool wakePosted_ = false;
  std::unique_ptr<QEvent> nextWake_;  // made on the main thread, posted from any thread

  std::vector<LoopTimer*> timers_;
  QTimer timerWake_;
  std::vector<Mode> modes_{Mode::Deliver};
  std::vector<QEventLoop*> waitLoops_;
  std::vector<HeldInput> held_;
  int delivering_ = 0;
  std::function<void()> notBusyHook_;
};

}  // namespace ui_qt
