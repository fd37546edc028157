#include "loaders/bsl_session.h"

#include <algorithm>

#include "loaders/loader_texts.h"
#include "updater/event_codes.h"

namespace loaders {
namespace {
constexpr const char* kQuery[] = {"A.5577\r\n", "A.5555\r\n", "A.5555\r\n"};
constexpr const char* kEnter[] = {"A.5588#RV83\r\n", "A.5566#RV83\r\n", "A.5567#RV83\r\n"};
constexpr std::int32_t kTextWatchdogMs = 15000;
constexpr long kEndPauseMs = 1500;
constexpr std::int32_t kLineAt9600After = 2;  // StartCmdIndex that wants 9600 8N2 after success

int Component(int index) { return std::clamp(index, 0, 2); }
}  // namespace

const char* BslSession::QueryCommand(int componentIndex) { return kQuery[Component(componentIndex)]; }
const char* BslSession::EnterCommand(int componentIndex) { return kEnter[Component(componentIndex)]; }

void BslSession::OnWatchdog() {
  if (bslMode) {
    steps.bslTimeout();
  } else {
    Fail();
  }
}

bool BslSession::OnMessage(const core::TEventRecord& event) {
  switch (event.Code) {
    case updater::EV_SERIAL_DATA:
      // In the boot-loader phase the bytes are the loader's, not reply lines.
      if (!bslMode) return false;
      steps.bslData();
      return true;
    case updater::RP_RESET_VECTOR:
    case updater::RP_SENSOR_RESET_VECTOR:
      steps.replyText(event.Text() ? event.Text() : "");
      return true;
    case updater::EV_ACKNOWLEDGE:
      steps.acknowledged();
      return true;
    case updater::EV_REPLY_LINE:
      // Once the boot loader is being started, a further "A." line (the
      // entry command's own answer, read before the line was handed over)
      // must not start it again: that would throw away the boot loader's
      // answer to the first sync and leave every later answer one behind.
      if (!bslMode) steps.replyLine();
      return true;
    case updater::EV_NEGATIVE:
      stepCode = kStepNotAvailable;
      Fail();
      return true;
    default:
      return false;
  }
}

bool BslSession::Conduct(const std::function<void()>& opening) {
  const RunEnd end{kEndPauseMs, Context().config.startCmdIndex == kLineAt9600After};
  return LoaderSession::Conduct(kTextWatchdogMs, end, opening);
}

std::int32_t BslSession::ReportFailure() {
  const std::int32_t code = FailureCode(stepCode);
  ShowFailure(failureText.empty() ? StepErrorText(code, Context().language) : failureText.view());
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
  SetLine(serial::B__9600, serial::S_1, serial::Even, serial::NoHandshake);
  // The reply line of the entry command is no answer of the boot loader
  // (its letters would read as error bytes).
  DiscardArrived();
  StartWatchdog(kBootLoaderWatchdogMs);
}

void BslSession::RaiseLine() {
  Context().port.ChangeV24Parameter(serial::B_38400, serial::S_1, serial::Even, false);
  rateRaised_ = true;
}

// The boot loader keeps a raised rate until it is reset, and the next run
// looks for it at its own 9600 bit/s.
void BslSession::OnRunEnd() {
  if (failed && rateRaised_ && !ConnectionLost() && steps.lowerRate) steps.lowerRate();
  rateRaised_ = false;
}

void BslSession::Finish() {
  bslMode = false;
  Report(100.0f);
  done = true;
}

}  // namespace loaders
