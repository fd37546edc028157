#include "ui/qt/qt_message_loop.h"

#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QEventLoop>
#include <algorithm>
#include <chrono>

namespace ui_qt {
namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
      return true;
    default:
      return false;
  }
}

// Real milliseconds for a Qt timer, rounded up so that a wake never comes
// before the logical time it stands for.
int RealMs(const platform::Clock& clock, platform::Tick ticks) {
  using namespace std::chrono;
  const nanoseconds real = clock.RealDuration(ticks);
  const auto ms = duration_cast<milliseconds>(real + milliseconds(1) - nanoseconds(1)).count();
  return static_cast<int>(std::min<long long>(ms, 24LL * 3600 * 1000));
}

}  // namespace

class QtMessageLoop::LoopTimer final : public platform::Timer {
 public:
  LoopTimer(QtMessageLoop& loop, std::function<void()> onExpiry) : loop_(loop), onExpiry_(std::move(onExpiry)) {
    loop_.timers_.push_back(this);
  }
  ~LoopTimer() override { std::erase(loop_.timers_, this); }

  void SetInterval(platform::Tick ms) override {
    interval_ = ms;
    if (enabled_) Arm();
  }
  platform::Tick Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override {
    enabled_ = enabled;
    if (enabled_) Arm();
    loop_.RearmTimerWake();
  }
  bool Enabled() const override { return enabled_; }

  bool Due(platform::Tick now) const { return enabled_ && platform::TickReached(now, due_); }
  platform::Tick DueAt() const { return due_; }
  void Fire(platform::Tick now) {
    due_ = now + std::max<platform::Tick>(interval_, 1);
    onExpiry_();
  }

 private:
  void Arm() {
    due_ = loop_.clock_.Now() + std::max<platform::Tick>(interval_, 1);
    loop_.RearmTimerWake();
  }

  QtMessageLoop& loop_;
  std::function<void()> onExpiry_;
  platform::Tick interval_ = 0;
  platform::Tick due_ = 0;
  bool enabled_ = false;
};

QtMessageLoop::QtMessageLoop(const platform::Clock& clock)
    : clock_(clock), nextWake_(std::make_unique<QEvent>(kWakeEvent)) {
  timerWake_.setSingleShot(true);
  timerWake_.setTimerType(Qt::PreciseTimer);
  timerWake_.callOnTimeout([this] { OnWake(); });
  if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

QtMessageLoop::~QtMessageLoop() {
  Shutdown();
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

void QtMessageLoop::SetMessageHandler(MessageHandler handler) { handler_ = std::move(handler); }

bool QtMessageLoop::Post(platform::Message message) {
  {
    std::lock_guard lock(mutex_);
    if (!accepting_) return false;
    queue_.push_back(message);
    PostWakeLocked();
  }
  arrived_.notify_all();
  return true;
}

void QtMessageLoop::Shutdown() {
  std::lock_guard lock(mutex_);
  accepting_ = false;
}

void QtMessageLoop::PostWake() {
  std::lock_guard lock(mutex_);
  PostWakeLocked();
}

// One wake event at a time is enough: its handler looks at the whole queue.
// The event is made on the main thread, which reads it: a serial thread hands
// Qt only the pointer. (An event made by the posting thread reaches the main
// thread through Qt's own locking, which the thread sanitizer cannot see in
// the uninstrumented Qt libraries.)
void QtMessageLoop::PostWakeLocked() {
  if (wakePosted_) return;
  wakePosted_ = true;
  QCoreApplication::postEvent(this, nextWake_.release());
}

bool QtMessageLoop::HasPending() {
  std::lock_guard lock(mutex_);
  return !queue_.empty();
}

std::unique_ptr<platform::Timer> QtMessageLoop::CreateTimer(std::function<void()> onExpiry) {
  return std::make_unique<LoopTimer>(*this, std::move(onExpiry));
}

bool QtMessageLoop::event(QEvent* event) {
  if (event->type() != kWakeEvent) return QObject::event(event);
  {
    std::lock_guard lock(mutex_);
    wakePosted_ = false;
    nextWake_ = std::make_unique<QEvent>(kWakeEvent);
  }
  OnWake();
  return true;
}

void QtMessageLoop::OnWake() {
  switch (modes_.back()) {
    case Mode::Wait:
      waitLoops_.back()->quit();
      return;
    case Mode::Idle:
      return;  // the idle looks at the queue and the timers when it ends
    case Mode::Deliver:
      ProcessPendingMessages();
      if (!Busy() && notBusyHook_) notBusyHook_();
      return;
  }
}

void QtMessageLoop::ProcessPendingMessages() {
  std::size_t pending;
  {
    std::lock_guard lock(mutex_);
    pending = queue_.size();
  }
  ++delivering_;
  // One message at a time from the shared queue, so a handler that re-enters
  // the loop continues with the next message in order.
  while (pending-- > 0) {
    platform::Message message;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) break;
      message = queue_.front();
      queue_.pop_front();
    }
    if (handler_) handler_(message);
  }
  FireDueTimers();
  --delivering_;
  // Messages posted meanwhile are for the next call; in Qt's own loop nobody
  // else makes that call, so ask Qt for it.
  if (HasPending()) PostWake();
  RearmTimerWake();
}

void QtMessageLoop::FireDueTimers() {
  const platform::Tick now = clock_.Now();
  // A handler may create or destroy timers: fire from a snapshot and skip the
  // timers that are gone.
  const std::vector<LoopTimer*> snapshot = timers_;
  for (LoopTimer* timer : snapshot) {
    if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end()) continue;
    if (timer->Due(now)) timer->Fire(now);
  }
}

bool QtMessageLoop::AnyTimerDue(platform::Tick now) const {
  return std::any_of(timers_.begin(), timers_.end(), [now](const LoopTimer* t) { return t->Due(now); });
}

bool QtMessageLoop::NextTimerDue(platform::Tick& due) const {
  bool found = false;
  const platform::Tick now = clock_.Now();
  for (const LoopTimer* timer : timers_) {
    if (!timer->Enabled()) continue;
    if (!found || platform::TicksUntil(now, timer->DueAt()) < platform::TicksUntil(now, due)) due = timer->DueAt();
    found = true;
  }
  return found;
}

void QtMessageLoop::RearmTimerWake() {
  platform::Tick due = 0;
  if (!NextTimerDue(due)) {
    timerWake_.stop();
    return;
  }
  timerWake_.start(RealMs(clock_, platform::TicksUntil(clock_.Now(), due)));
}

bool QtMessageLoop::WaitForMessage(platform::Tick deadline) {
  for (;;) {
    const platform::Tick now = clock_.Now();
    if (HasPending() || AnyTimerDue(now)) return true;
    if (platform::TickReached(now, deadline)) return false;
    platform::Tick wakeAt = deadline;
    platform::Tick timerDue = 0;
    if (NextTimerDue(timerDue) && platform::TicksUntil(now, timerDue) < platform::TicksUntil(now, wakeAt)) {
      wakeAt = timerDue;
    }
    if (!RunNested(Mode::Wait, wakeAt)) BlockOnQueue(wakeAt);
  }
}

void QtMessageLoop::IdleWithoutDelivering(platform::Tick ms) {
  const platform::Tick until = clock_.Now() + ms;
  while (!platform::TickReached(clock_.Now(), until)) {
    if (!RunNested(Mode::Idle, until)) clock_.Sleep(platform::TicksUntil(clock_.Now(), until));
  }
  ReleaseHeldInput();
}

bool QtMessageLoop::RunNested(Mode mode, platform::Tick until) {
  if (!QCoreApplication::instance()) return false;
  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.setTimerType(Qt::PreciseTimer);
  deadline.callOnTimeout(&loop, [&loop] { loop.quit(); });
  deadline.start(RealMs(clock_, platform::TicksUntil(clock_.Now(), until)));
  modes_.push_back(mode);
  waitLoops_.push_back(&loop);
  // An idle must not let input through; a wait is a loop like a modal
  // dialog's, in which the window stays fully usable.
  const int result = loop.exec(mode == Mode::Idle ? QEventLoop::ExcludeUserInputEvents : QEventLoop::AllEvents);
  waitLoops_.pop_back();
  modes_.pop_back();
  AfterNestedLoop();
  return result >= 0;  // -1: Qt's loop is quitting, exec returned at once
}

// Wakes that came while nested were only noted; the enclosing context gets
// its own wake for what is still pending.
void QtMessageLoop::AfterNestedLoop() {
  if (HasPending()) PostWake();
  RearmTimerWake();
}

void QtMessageLoop::BlockOnQueue(platform::Tick until) {
  std::unique_lock lock(mutex_);
  arrived_.wait_for(lock, clock_.RealDuration(platform::TicksUntil(clock_.Now(), until)),
                    [this] { return !queue_.empty(); });
}

int QtMessageLoop::RunModal(QDialog& dialog) {
  modes_.push_back(Mode::Deliver);
  // Whatever became due before the dialog opened is delivered inside it.
  PostWake();
  const int result = dialog.exec();
  modes_.pop_back();
  AfterNestedLoop();
  return result;
}

bool QtMessageLoop::eventFilter(QObject* watched, QEvent* event) {
  if (modes_.back() != Mode::Idle || !IsUserInput(event->type())) return false;
  held_.push_back({QPointer<QObject>(watched), std::unique_ptr<QEvent>(event->clone())});
  return true;
}

void QtMessageLoop::ReleaseHeldInput() {
  if (modes_.back() == Mode::Idle) return;
  std::vector<HeldInput> held = std::move(held_);
  held_.clear();
  for (HeldInput& input : held) {
    if (input.receiver) QCoreApplication::postEvent(input.receiver, input.event.release());
  }
}

}  // namespace ui_qt
