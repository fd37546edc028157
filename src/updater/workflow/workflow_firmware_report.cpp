// TWorkflow: waiting for the new firmware's first acknowledgement after a
// programming. The firmware acknowledges once when it has started; if that
// happened while an outside tool still held the port, nobody heard it, and a
// disturbed line may garble it: without this wait, the run would wait for it
// forever.
#include "updater/workflow/workflow.h"
#include "updater/workflow/workflow_codes.h"
#include "updater/workflow/workflow_texts.h"

namespace updater {
namespace {

// Quiet watchdog periods before the run asks: long enough that a firmware
// still starting up does not see the question and answer twice.
constexpr std::int32_t kQuietPeriodsBeforeAsking = 3;
// Periods the firmware has to answer the question before the run gives up.
constexpr std::int32_t kPeriodsForTheAnswer = 2;
// Answered with an acknowledgement by every running firmware.
constexpr std::string_view kAreYouThere = "A.1000\r\n";

}  // namespace

void TWorkflow::AwaitFirmwareReport() {
  StopWatchdog();
  awaitingReport_ = true;
  reportPhase_ = phase_;
  reportChecks_ = 0;
  watchdogSlot_ = form_.Timers().TimerStart(kWatchdogMs);
}

void TWorkflow::StopAwaitingReport() {
  if (!awaitingReport_) return;
  awaitingReport_ = false;
  StopWatchdog();
}

void TWorkflow::ReportOverdue() {
  // Something else moved the run on or ended it.
  if (phase_ != reportPhase_ || form_.Outcome() != RunOutcome::None) return StopAwaitingReport();
  ++reportChecks_;
  if (reportChecks_ == kQuietPeriodsBeforeAsking) {
    Send(kAreYouThere);
  } else if (reportChecks_ >= kQuietPeriodsBeforeAsking + kPeriodsForTheAnswer) {
    StopAwaitingReport();
    LogText(Output().Pick(texts::kNoReportAfterProgramming));
    Post(EV_PROGRAM_FAILED);
  }
}

}  // namespace updater
