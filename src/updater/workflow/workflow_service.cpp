// TWorkflow: the service steps around programming: clock, finish with the
// air-pressure writing, the second component, the download time, the abort
// and the retry on the next OK.
#include <charconv>

#include "updater/instrument_clock.h"
#include "updater/workflow/air_pressure.h"
#include "updater/workflow/clock_command.h"
#include "updater/workflow/download_time.h"
#include "updater/workflow/workflow.h"
#include "updater/workflow/workflow_codes.h"
#include "updater/workflow/workflow_texts.h"

namespace updater {
namespace {

// "A.6162#961.7\r\n": one decimal, with a decimal point whatever the locale.
core::FixedText<32> AirPressureCommand(float pressure) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, pressure, std::chars_format::fixed, 1);
  core::FixedText<32> text("A.6162#");
  text.Append(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
  return text.Append("\r\n");
}

}  // namespace

void TWorkflow::SetInstrumentClock(bool secondsForm) {
  const ClockCommand command = ClockCommandText(secondsForm, LocalNow());
  if (StartCmdIndex() == 2) {
    if (serial::TComPort* port = FoundPortObject()) port->LoadLastV24Parameter();
    form_.Wait().DelayTime(500, false);
  }
  Send(command);
}

void TWorkflow::CloseOtherPorts() {
  TPortTable& ports = form_.Ports();
  for (int i = 0; i < ports.Count(); ++i) {
    serial::TComPort* port = ports.At(i);
    if (i != form_.FoundPort() && port != nullptr) port->Close();
  }
}

void TWorkflow::Finish(bool sendU606) {
  form_.Wait().DelayTime(3000, true);
  serial::TComPort* port = FoundPortObject();
  if (StartCmdIndex() == 2 && port != nullptr) port->LoadLastV24Parameter();
  if (form_.AirPressureRow() != kAirPressureNone) {
    form_.Events().Subscribe(AirPressureCallback, this);
    form_.WriteCommand("A.1000\r\n");
    return;
  }
  Send(ResumeCommandOf(FileType()));
  LogText(Output().Pick(texts::kSuccess));
  View().SetIdentityField(IdentityField::Version, Record().OfferedVersionText);
  View().EnableOk(false);
  form_.StopSecTimer();
  View().SetProgress(0);
  Output().ReportProgress("", -1000.0f);
  form_.SetOutcome(RunOutcome::Succeeded);
  form_.Wait().DelayTime(1000, true);
  if (sendU606) {
    form_.WriteCommand("U.606\r\n");
    form_.Wait().DelayTime(2000, true);
  }
  if (serial::TComPort* found = FoundPortObject()) found->Close();
}

core::TEventRecord TWorkflow::AirPressureCallback(void* object, core::TEvents&, Event event) {
  return static_cast<TWorkflow*>(object)->AirPressureStep(event);
}

core::TEventRecord TWorkflow::AirPressureStep(Event event) {
  if (event.Kind != core::EVT_MSG || event.Code != EV_ACKNOWLEDGE) return event;
  const std::int32_t row = form_.AirPressureRow();
  const core::FixedText<16> resume(ResumeCommandOf(FileType()));
  if (row >= 0 || row == kAirPressureDefault) {
    form_.WriteCommand(AirPressureCommand(AirPressureValue(row)).c_str());
    form_.SetAirPressureRow(kAirPressureSent);
  } else if (row == kAirPressureSent) {
    form_.WriteCommand(resume.c_str());
    form_.SetAirPressureRow(kAirPressureNone);
  } else {
    // The instrument has taken the value and the resume command: finish.
    form_.WriteCommand(resume.c_str());
    form_.Events().Unsubscribe(AirPressureCallback, this);
    form_.SetAirPressureRow(kAirPressureNone);
    Finish(false);
  }
  return {};
}

void TWorkflow::StartSecondComponent() {
  View().SetStatusPanel(2, "19200");
  View().SetStatusPanel(3, "Version " + std::string(Record().SecondOfferedVersionText.view()));
  form_.Wait().DelayTime(2000, true);
  Send("A.2005\r\n");
}

void TWorkflow::ShowDownloadTime(std::int32_t kind) {
  const std::uint32_t minutes = DownloadMinutes(kind, Record(), force_);
  View().ClearLog();
  std::string text(Output().Pick(texts::kDownloadTime));
  const std::size_t x = text.find('X');
  if (x != std::string::npos) text.replace(x, 1, std::to_string(minutes));
  View().AddLogLine(text);
}

void TWorkflow::Abort(std::int32_t code) {
  View().ClearLog();
  LogText(Profiles().Abbruchtext(Language()));
  View().EnableOk(true);
  form_.SetOutcome(RunOutcome::Failed);
  if (code == EV_PROGRAM_FAILED) form_.Events().Subscribe(RetryCallback, this);
}

void TWorkflow::EndInterrupted() {
  interruptReported_ = true;
  StopWatchdog();
  StopAwaitingReport();
  form_.StopSecTimer();
  form_.StopTitleTimer();
  LogText(Output().Pick(texts::kInterrupted));
  // A download under way tells its own abort; otherwise the instrument may
  // wait in its boot loader, and the abort text says how to go on from there.
  const bool downloadStopped = basicLoader_ && basicLoader_->Interrupt();
  if (!downloadStopped && programmingBegun_) LogText(Profiles().Abbruchtext(Language()));
  View().EnableOk(false);
  form_.SetOutcome(RunOutcome::Interrupted);
}

core::TEventRecord TWorkflow::RetryCallback(void* object, core::TEvents&, Event event) {
  return static_cast<TWorkflow*>(object)->RetryOnOk(event);
}

core::TEventRecord TWorkflow::RetryOnOk(Event event) {
  if (event.Kind != core::EVT_CMD || event.Code != CMD_START) return event;
  form_.Events().Unsubscribe(RetryCallback, this);
  // The user may have plugged a pulled adapter back in before pressing OK.
  form_.EnsurePortsOpen();
  if (firstFileDone_) {
    Post(EV_MAIN_EXTERNAL);
  } else {
    phase_ = PH_FIRSTFILE;
    Post(RetryCodeOf(FileType()));
  }
  form_.SetOutcome(RunOutcome::None);
  View().EnableOk(false);
  View().ClearLog();
  form_.StopSecTimer();
  View().SetProgress(0);
  return {};
}

void TWorkflow::ShowFileError(std::string_view fileName) {
  std::string text(Output().Pick(texts::kCannotOpenFile));
  text.append(fileName);
  View().MessageBox(text, Output().Pick(texts::kCaptionFehler), BoxIcon::Error, BoxButtons::Ok);
}

}  // namespace updater
