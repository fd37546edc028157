// TUpdateForm: the workflow's entry points. The run state machine and the
// search come with a later version; until then a run writes the identify
// command once to every port at the current line settings, waits up to one
// watchdog period for an acknowledgement (which finds the port), says that the
// run itself is not available and ends.
#include "updater/app_texts.h"
#include "updater/update_form.h"

namespace updater {
namespace {

constexpr std::int32_t kWatchdogMs = 5000;
constexpr long kLineSettleMs = 500;

}  // namespace

core::TEventRecord TUpdateForm::WorkflowCallback(void* object, core::TEvents&, core::TEventRecord event) {
  return static_cast<TUpdateForm*>(object)->Workflow(event);
}

core::TEventRecord TUpdateForm::Workflow(core::TEventRecord event) {
  if (event.Kind == core::EVT_MSG && event.Code == EV_SERIAL_DATA) {
    ParseReplies(static_cast<int>(event.Data));
  } else if (event.Kind == core::EVT_CMD && event.Code == CMD_START) {
    StartRunStub();
  } else if (event.Kind == core::EVT_MSG && event.Code == EV_ACKNOWLEDGE && stubWatchdog_ != 0) {
    EndRunStub(RunOutcome::Failed);
  } else if (event.Kind == core::EVT_TIMER && event.Code == stubWatchdog_ && stubWatchdog_ != 0) {
    EndRunStub(RunOutcome::NotFound);
  } else {
    return event;
  }
  return core::TEvents::ClearEvent(event);
}

void TUpdateForm::StartRunStub() {
  view_.EnableOk(false);
  view_.ShowPanel(Panel::Wait, true);
  parser_.Clear();
  const char* identify = profiles_.StartCmdIndex == 1 ? "A.1000\r\n" : "A.1111\r\n";
  SendToAll("\r\n\r\n");
  wait_.DelayTime(kLineSettleMs, true);
  SendToAll(identify);
  output_.LogCommand(identify);
  stubWatchdog_ = timers_.TimerStart(kWatchdogMs);
}

void TUpdateForm::EndRunStub(RunOutcome outcome) {
  stubWatchdog_ = timers_.TimerStop(stubWatchdog_);
  view_.ShowPanel(Panel::Wait, false);
  MenuStub();
  outcome_ = outcome;
  view_.EnableOk(true);
}

void TUpdateForm::MenuStub() {
  view_.AddLogLine(output_.Pick(texts::kRunNotAvailable));
  outcome_ = RunOutcome::Failed;
}

// The search's reaction to line errors comes with the search.
void TUpdateForm::OnLineError(int) {}

}  // namespace updater
