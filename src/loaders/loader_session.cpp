#include "loaders/loader_session.h"

#include <algorithm>
#include <cstring>

#include "loaders/frame_summary.h"
#include "loaders/session_texts.h"
#include "updater/event_codes.h"

namespace loaders {
namespace {
constexpr platform::Tick kIdleWaitMs = 1000;
}  // namespace

bool LoaderSession::Took(int result, std::size_t length) {
  if (result > 0 || length == 0) return true;
  // The line took nothing: the port is gone. Waiting for the watchdog would
  // only delay the same end, and retries cannot reach the instrument.
  connectionLost_ = true;
  StopWatchdog();
  Fail();
  return false;
}

// The safe point of an interruption: every write starts a new frame or
// command, and the one before it has been answered or has run out its time.
bool LoaderSession::StopsHere() {
  if (connectionLost_ || interrupted_) return true;
  if (!ctx_.interrupted || !ctx_.interrupted()) return false;
  interrupted_ = true;
  StopWatchdog();
  Fail();
  return true;
}

bool LoaderSession::Send(const char* text) {
  if (StopsHere()) return false;
  ctx_.output.LogCommand(text);
  return Took(ctx_.port.WriteText(text), std::strlen(text));
}

bool LoaderSession::WriteBytes(const std::uint8_t* data, std::size_t length) {
  return !StopsHere() && Put(data, length);
}

bool LoaderSession::Put(const std::uint8_t* data, std::size_t length) {
  if (updater::RunLog* log = ctx_.output.Trace())
    log->Frame(SummariseFrame({data, length}), length);
  return Took(ctx_.port.Write(data, static_cast<int>(length)), length);
}

void LoaderSession::Pause(long ms) { ctx_.wait.DelayTime(ms, false); }

bool LoaderSession::ClosingExchange(const std::uint8_t* data, std::size_t length, std::uint8_t answer, long ms) {
  if (connectionLost_) return false;
  // The answer and whatever follows it are the loader's: the reply parser
  // must not read them once the run is over.
  ownLine_ = true;
  DiscardArrived();
  if (!Put(data, length)) return false;
  const platform::Tick deadline = ctx_.loop.GetClock().Now() + static_cast<platform::Tick>(ms);
  while (!AnswerArrived(answer)) {
    if (connectionLost_ || platform::TickReached(ctx_.loop.GetClock().Now(), deadline)) return false;
    ctx_.loop.WaitForMessage(deadline);
    // The arrival notices are delivered (and swallowed, the run being over),
    // so that the next arrival wakes the wait again.
    DeliverPending();
  }
  return true;
}

bool LoaderSession::AnswerArrived(std::uint8_t answer) {
  std::uint8_t byte = 0;
  while (ctx_.port.Read(&byte, 1) == 1) {
    if (byte == answer) return true;
  }
  return false;
}

void LoaderSession::SetLine(serial::BaudTag baud, serial::StopBitTag stopBits, serial::ParitaetTag parity,
                            serial::HandshakeTag handshake) {
  ctx_.port.ChangeV24Parameter(baud, stopBits, parity, false);
  ctx_.port.ChangeHandShake(handshake);
  ownLine_ = true;
}

void LoaderSession::StartWatchdog(std::int32_t ms) {
  StopWatchdog();
  watchdog_ = ctx_.timers.TimerStart(ms);
}

void LoaderSession::RestartWatchdog() {
  if (watchdog_ != 0) ctx_.timers.TimerRestart(watchdog_);
}

void LoaderSession::StopWatchdog() {
  if (watchdog_ != 0) watchdog_ = ctx_.timers.TimerStop(watchdog_);
}

void LoaderSession::SetProgress(int position) { ctx_.view.SetProgress(position); }

void LoaderSession::SetProgressMax(std::int32_t maximum) {
  progressMax_ = maximum;
  ctx_.view.SetProgressMax(maximum);
}

void LoaderSession::Advance() {
  ctx_.view.SetProgress(ctx_.view.Progress() + 1);
  ReportPosition();
}

void LoaderSession::ReportPosition() {
  const float max = progressMax_ > 0 ? static_cast<float>(progressMax_) : 1.0f;
  Report(static_cast<float>(ctx_.view.Progress()) / max * 100.0f);
}

void LoaderSession::Report(float percent) { ctx_.output.ReportProgress("", percent); }

int LoaderSession::ReadArrived() {
  if (rxCount_ == rx_.size()) rxCount_ = 0;
  const int n = ctx_.port.Read(rx_.data() + rxCount_, static_cast<int>(rx_.size() - rxCount_));
  if (n > 0) rxCount_ = static_cast<std::uint16_t>(rxCount_ + n);
  return n;
}

void LoaderSession::DiscardArrived() {
  rxCount_ = 0;
  std::uint8_t scratch[64];
  while (ctx_.port.Read(scratch, sizeof scratch) == static_cast<int>(sizeof scratch)) {
  }
}

void LoaderSession::TakeOut(std::size_t position, std::size_t count) {
  if (position >= rxCount_) return;
  count = std::min(count, rxCount_ - position);
  std::memmove(rx_.data() + position, rx_.data() + position + count, rxCount_ - position - count);
  rxCount_ = static_cast<std::uint16_t>(rxCount_ - count);
}

core::TEventRecord LoaderSession::Callback(void* object, core::TEvents&, core::TEventRecord event) {
  return static_cast<LoaderSession*>(object)->OnEvent(event);
}

core::TEventRecord LoaderSession::OnEvent(const core::TEventRecord& event) {
  if (done) return AfterTheEnd(event);
  if (IsWatchdog(event)) {
    handler_.OnWatchdog();
    return {};
  }
  if (event.Kind == core::EVT_CMD) return handler_.OnCommand(event) ? core::TEventRecord{} : event;
  if (event.Kind != core::EVT_MSG) return event;
  if (event.Code == updater::EV_SERIAL_DATA && dataRestartsWatchdog) RestartWatchdog();
  return handler_.OnMessage(event) ? core::TEventRecord{} : event;
}

// Between the end of the conversation and the unsubscription nothing starts
// anew: a late watchdog expiry is swallowed, and so are the data
// notifications still queued from the loader's own line (their bytes are read
// away once, while the line still has the loader's settings, at which nothing
// of the firmware can be read).
core::TEventRecord LoaderSession::AfterTheEnd(const core::TEventRecord& event) {
  if (IsWatchdog(event)) return {};
  if (event.Kind == core::EVT_MSG && event.Code == updater::EV_SERIAL_DATA && ownLine_) return {};
  return event;
}

void LoaderSession::DeliverPending() {
  ctx_.loop.ProcessPendingMessages();
  ctx_.processEvents();
}

bool LoaderSession::Conduct(std::int32_t watchdogMs, const RunEnd& end, const std::function<void()>& opening) {
  ctx_.events.Subscribe(&Callback, this);
  ctx_.port.SaveLastV24Parameter();
  StartWatchdog(watchdogMs);
  failed = false;
  done = false;
  Report(-1.0f);
  opening();
  RunUntilDone();
  DeliverPending();
  handler_.OnRunEnd();
  if (ownLine_) DiscardArrived();
  ownLine_ = false;
  Report(-1.0f);
  Pause(end.settleMs);
  if (end.nineSixHundredAfterSuccess && !failed) {
    ctx_.port.ChangeV24Parameter(serial::B__9600, serial::S_2, serial::NoParity, true);
  } else {
    ctx_.port.LoadLastV24Parameter();
  }
  Pause(end.pauseMs);
  SetProgress(0);
  ctx_.events.Unsubscribe(&Callback, this);
  StopWatchdog();
  return !failed;
}

void LoaderSession::RunUntilDone() {
  while (!done) {
    ctx_.processEvents();
    if (done) break;
    const platform::Tick now = ctx_.loop.GetClock().Now();
    ctx_.loop.WaitForMessage(now + kIdleWaitMs);
    ctx_.loop.ProcessPendingMessages();
  }
}

void LoaderSession::ShowError(std::string_view text) const {
  ctx_.view.MessageBox(text, kCaptionError.Pick(updater::kEnglish), updater::BoxIcon::Error,
                       updater::BoxButtons::Ok);
}

void LoaderSession::ShowConnectionLost() const {
  ShowError(ConnectionLostText(ctx_.port.Describe(), ctx_.language));
}

void LoaderSession::ShowFailure(std::string_view text) const {
  if (connectionLost_) {
    ShowConnectionLost();
  } else if (!interrupted_) {
    ShowError(text);
  }
}

}  // namespace loaders
