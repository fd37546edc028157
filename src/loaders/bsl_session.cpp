#include "loaders/bsl_session.h"

#include <algorithm>
#include <cstring>

#include "loaders/loader_texts.h"

namespace loaders {
namespace {
constexpr const char* kQuery[] = {"A.5577\r\n", "A.5555\r\n", "A.5555\r\n"};
constexpr const char* kEnter[] = {"A.5588#RV83\r\n", "A.5566#RV83\r\n", "A.5567#RV83\r\n"};
constexpr std::int32_t kEvSerialData = 10000;
constexpr std::int32_t kEvAcknowledge = 10010;
constexpr std::int32_t kEvReplyLine = 10011;
constexpr std::int32_t kEvNegative = 10012;
constexpr std::int32_t kTextWatchdogMs = 15000;
constexpr std::int32_t kBslWatchdogMs = 5000;
constexpr long kEndPauseMs = 1500;
constexpr platform::Tick kIdleWaitMs = 1000;
constexpr long kSliceMs = 100;

int Component(int index) { return std::clamp(index, 0, 2); }
}  // namespace

bool BslSession::Send(const char* text) {
  ctx_.port->WriteText(text);
  if (ctx_.logCommand) ctx_.logCommand(text);
  return true;
}

const char* BslSession::QueryCommand(int componentIndex) { return kQuery[Component(componentIndex)]; }
const char* BslSession::EnterCommand(int componentIndex) { return kEnter[Component(componentIndex)]; }

void BslSession::WriteBytes(const std::uint8_t* data, std::size_t length) {
  ctx_.port->Write(data, static_cast<int>(length));
}

void BslSession::Pause(long ms) { ctx_.wait->DelayTime(ms, false); }

void BslSession::StartWatchdog(std::int32_t ms) {
  StopWatchdog();
  watchdog_ = ctx_.timers->TimerStart(ms);
}

void BslSession::RestartWatchdog() {
  if (watchdog_ != 0) ctx_.timers->TimerRestart(watchdog_);
}

void BslSession::StopWatchdog() {
  if (watchdog_ != 0) watchdog_ = ctx_.timers->TimerStop(watchdog_);
}

void BslSession::SetProgress(int position) { ctx_.view->SetProgress(position); }

void BslSession::SetProgressMax(std::int32_t maximum) {
  progressMax_ = maximum;
  ctx_.view->SetProgressMax(maximum);
}

void BslSession::Advance() {
  ctx_.view->SetProgress(ctx_.view->Progress() + 1);
  ReportPosition();
}

void BslSession::ReportPosition() {
  const float max = progressMax_ > 0 ? static_cast<float>(progressMax_) : 1.0f;
  Report(static_cast<float>(ctx_.view->Progress()) / max * 100.0f);
}

void BslSession::Report(float percent) {
  if (ctx_.reportProgress) ctx_.reportProgress("", percent);
}

int BslSession::ReadArrived() {
  if (rxCount_ == rx_.size()) rxCount_ = 0;
  const int n = ctx_.port->Read(rx_.data() + rxCount_, static_cast<int>(rx_.size() - rxCount_));
  if (n > 0) rxCount_ = static_cast<std::uint16_t>(rxCount_ + n);
  return n;
}

void BslSession::DiscardArrived() {
  rxCount_ = 0;
  std::uint8_t scratch[64];
  while (ctx_.port->Read(scratch, sizeof scratch) == static_cast<int>(sizeof scratch)) {
  }
}

void BslSession::TakeOut(std::size_t position, std::size_t count) {
  if (position >= rxCount_) return;
  count = std::min(count, rxCount_ - position);
  std::memmove(rx_.data() + position, rx_.data() + position + count, rxCount_ - position - count);
  rxCount_ = static_cast<std::uint16_t>(rxCount_ - count);
}

core::TEventRecord BslSession::Callback(void* object, core::TEvents&, core::TEventRecord event) {
  return static_cast<BslSession*>(object)->OnEvent(event);
}

core::TEventRecord BslSession::OnEvent(const core::TEventRecord& event) {
  if (done) return AfterTheEnd(event);
  if (IsWatchdog(event)) {
    if (bslMode) {
      steps.bslTimeout();
    } else {
      Fail();
    }
    return {};
  }
  if (event.Kind != core::EVT_MSG) return event;
  switch (event.Code) {
    case kEvSerialData:
      RestartWatchdog();
      // In the boot-loader phase the bytes are the loader's, not reply lines.
      if (!bslMode) return event;
      steps.bslData();
      return {};
    case 80:
    case 81:
      steps.replyText(event.Text() ? event.Text() : "");
      return {};
    case kEvAcknowledge:
      steps.acknowledged();
      return {};
    case kEvReplyLine:
      steps.replyLine();
      return {};
    case kEvNegative:
      stepCode_ = kStepNotAvailable;
      Fail();
      return {};
    default:
      return event;
  }
}

// Between the end of the conversation and the unsubscription nothing starts
// anew: a late watchdog expiry is swallowed, and so are the data
// notifications still queued from the boot-loader phase (their bytes are read
// away once, while the line still has the boot loader's settings, at which
// nothing of the firmware can be read).
core::TEventRecord BslSession::AfterTheEnd(const core::TEventRecord& event) {
  if (IsWatchdog(event)) return {};
  if (event.Kind == core::EVT_MSG && event.Code == kEvSerialData && bslLine_) return {};
  return event;
}

void BslSession::DeliverPending() {
  if (ctx_.loop != nullptr) {
    ctx_.loop->ProcessPendingMessages();
    ctx_.processEvents();
  } else {
    ctx_.wait->DelayTime(0, true);
  }
}

bool BslSession::Conduct(const std::function<void()>& opening) {
  ctx_.events->Subscribe(&Callback, this);
  ctx_.port->SaveLastV24Parameter();
  StartWatchdog(kTextWatchdogMs);
  failed = false;
  done = false;
  Report(-1.0f);
  opening();
  RunUntilDone();
  DeliverPending();
  if (bslLine_) DiscardArrived();
  bslLine_ = false;
  Report(-1.0f);
  if (ctx_.startCmdIndex == 2 && !failed) {
    ctx_.port->ChangeV24Parameter(serial::B__9600, serial::S_2, serial::NoParity, true);
  } else {
    ctx_.port->LoadLastV24Parameter();
  }
  Pause(kEndPauseMs);
  SetProgress(0);
  ctx_.events->Unsubscribe(&Callback, this);
  StopWatchdog();
  return !failed;
}

void BslSession::RunUntilDone() {
  while (!done) {
    ctx_.processEvents();
    if (done) break;
    if (ctx_.loop == nullptr) {
      // Without the loop itself, a wait that delivers messages for a short
      // slice blocks just the same; it only notices `done` a little later.
      ctx_.wait->DelayTime(kSliceMs, true);
      continue;
    }
    const platform::Tick now = ctx_.loop->GetClock().Now();
    ctx_.loop->WaitForMessage(now + kIdleWaitMs);
    ctx_.loop->ProcessPendingMessages();
  }
}

std::int32_t BslSession::ReportFailure() {
  const std::int32_t code = FailureCode(stepCode_);
  ShowError(failureText.empty() ? StepErrorText(code, ctx_.language) : failureText.view());
  return code;
}

std::int32_t BslSession::RefuseFile() {
  ShowError(failureText);
  return kStepOutside;
}

void BslSession::EnterBootLoaderLine(long pauseMs) {
  bslMode = true;
  StopWatchdog();
  // The entry command and the firmware's reply still travel at the
  // firmware's line settings; the boot loader is up after this pause.
  Pause(pauseMs);
  ctx_.port->ChangeV24Parameter(serial::B__9600, serial::S_1, serial::Even, false);
  ctx_.port->ChangeHandShake(serial::NoHandshake);
  bslLine_ = true;
  // The reply line of the entry command is no answer of the boot loader
  // (its letters would read as error bytes).
  DiscardArrived();
  StartWatchdog(kBslWatchdogMs);
}

void BslSession::Finish() {
  bslMode = false;
  Report(100.0f);
  done = true;
}

void BslSession::ShowError(std::string_view text) const {
  ctx_.view->MessageBox(text, kErrorCaption, updater::BoxIcon::Error, updater::BoxButtons::Ok);
}

}  // namespace loaders
