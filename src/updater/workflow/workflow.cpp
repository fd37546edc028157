// TWorkflow: the callback, the run start, the identification replies and the
// acknowledgement ladder.
#include "updater/workflow/workflow.h"

#include <utility>

#include "updater/workflow/air_pressure.h"
#include "updater/workflow/version_value.h"
#include "updater/workflow/workflow_codes.h"
#include "updater/workflow/workflow_texts.h"

namespace updater {
namespace {

bool Contains(std::string_view text, std::string_view part) {
  return !part.empty() && text.find(part) != std::string_view::npos;
}

// Serial number of instruments that do not know "A.4001": one blank. Static,
// because the posted event carries a pointer to it.
constexpr char kBlankSerial[] = " ";
// Software versions from this value on know "A.4001".
constexpr std::int32_t kFirstVersionWithSerial = 64;

}  // namespace

TWorkflow::TWorkflow(TUpdateForm& form, const loaders::LoaderRegistry& loaders) : form_(form), loaders_(loaders) {}

TWorkflow::~TWorkflow() {
  core::TEvents& events = form_.Events();
  events.Unsubscribe(AirPressureCallback, this);
  events.Unsubscribe(RetryCallback, this);
  events.Unsubscribe(DataFileCallback, this);
  events.Unsubscribe(MenuCallback, this);
  if (attached_) events.Unsubscribe(Callback, this);
  StopWatchdog();
  if (basicLoader_) basicLoader_->RequestStop();
}

void TWorkflow::OnClose() {
  if (basicLoader_) basicLoader_->RequestStop();
}

WorkflowMaker WorkflowWith(const loaders::LoaderRegistry& loaders) {
  return [&loaders](TUpdateForm& form) { return std::make_unique<TWorkflow>(form, loaders); };
}

void TWorkflow::Attach() {
  form_.Events().Subscribe(Callback, this);
  attached_ = true;
}

core::TEventRecord TWorkflow::Callback(void* object, core::TEvents&, Event event) {
  return static_cast<TWorkflow*>(object)->Handle(event);
}

core::TEventRecord TWorkflow::Handle(Event event) {
  // After an interruption nothing new starts; a back-end still running stops
  // at its own safe point and ends its step, which brings the report.
  if (interruptReported_) return {};
  if (form_.InterruptSignal() != 0 && backEndsRunning_ == 0) {
    EndInterrupted();
    return {};
  }
  switch (event.Kind) {
    case core::EVT_CMD:
      if (event.Code != CMD_START) return event;
      RunStart();
      return {};
    case core::EVT_TIMER:
      if (watchdogSlot_ == 0 || event.Code != watchdogSlot_) return event;
      WatchdogExpired();
      return {};
    case core::EVT_MSG:
      return HandleMessage(event.Code, event) ? Event{} : event;
    default:
      return event;
  }
}

bool TWorkflow::HandleMessage(std::int32_t code, const Event& event) {
  const char* text = event.Text();
  switch (code) {
    case 23: case 203: case 2013:
      OnPcbNumber(text);
      return true;
    case 20: case 200: case 2010:
      OnDeviceNumber(text);
      return true;
    case 21: case 201:
      OnVersion(text);
      return true;
    case 2011:
      if (FileType() == FT_EXE) {
        Record().ThirdVersion = VersionValue(text ? text : "");
      } else {
        OnVersion(text);
      }
      return true;
    case 25: case 205:
      OnSerialNumber(text);
      return true;
    case 30:
      if (StartCmdIndex() == 2) {
        phase_ = PH_DONE;
        Finish(false);
      } else {
        LogText(Output().Pick(texts::kStoring));
        form_.Wait().DelayTime(1000, false);
        SetInstrumentClock(true);
      }
      return true;
    case 31:
      phase_ = PH_DONE;
      Finish(false);
      return true;
    case 208:
      Record().Reply208Byte = text ? text[0] : '\0';
      // A.1220 makes the Basic-Loader erase the terminal: its file first.
      if (TerminalFileReady()) Send("A.1220\r\n");
      return true;
    case 262:
      reply262Seen_ = true;
      return true;
    case 920:
      OnReply920();
      return true;
    case EV_SERIAL_DATA:
      form_.ParseReplies(static_cast<int>(event.Data));
      return true;
    case EV_ACKNOWLEDGE:
    case EV_LADDER_STEP:
      LadderStep();
      return true;
    default:
      return HandleProgramming(code, event);
  }
}

void TWorkflow::RunStart() {
  if (!form_.EnsurePortsOpen()) {
    // Nothing to search on: say so at once (the reasons were shown) rather
    // than writing to no port at every rate for a minute.
    View().EnableOk(true);
    form_.SetOutcome(RunOutcome::NotFound);
    return;
  }
  // With a fixed port the port table holds that one port only.
  phase_ = StartCmdIndex() == 1 ? PH_READY : PH_SEARCH;
  entryCommand_ = "A.1200\r\n";
  form_.Parser().ClearAnswerSeen();
  labModel_ = 0;
  identificationFailed_ = false;
  lineErrorSeen_ = false;
  reply262Seen_ = false;
  confirmingRun_ = std::exchange(confirmNextRun_, false);
  filesChecked_ = false;
  // A probe of an earlier run is over: the new run's first watchdog must
  // search, not send that probe's second bytes at the search rate.
  probeState_ = 0;
  awaitingReport_ = false;
  programmingBegun_ = false;
  Record().Clear();
  form_.SetOutcome(RunOutcome::None);

  View().EnableOk(false);
  form_.StopSecTimer();
  View().SetProgress(0);

  StopWatchdog();  // a restarted run must not leave the old slot running
  watchdogSlot_ = form_.Timers().TimerStart(kWatchdogMs);
  View().ShowPanel(Panel::Wait, true);

  // The first step tries the first rate, or sends the boot-loader probe.
  baudIndex_ = std::exchange(probeFirst_, false) ? form_.Settings().BaudCount - 1 : -1;
  identRetries_ = 0;
  identStep_ = 0;
  form_.SetAirPressureRow(kAirPressureNone);
  SearchStep(true);
}

void TWorkflow::SendIdentCommand() {
  // A reply that comes again after the last command has nothing left to ask.
  if (identStep_ >= 0 && identStep_ < 4) Send(kIdentCmd[identStep_]);
}

void TWorkflow::OnPcbNumber(const char* text) {
  Record().PcbNumber = text;
  identRetries_ = 0;
  form_.Timers().TimerRestart(watchdogSlot_);
  SendIdentCommand();
  identStep_ = 2;
}

void TWorkflow::OnDeviceNumber(const char* text) {
  Record().DeviceNumber = text;
  identRetries_ = 0;
  SendIdentCommand();
  form_.Timers().TimerRestart(watchdogSlot_);
  identStep_ = 3;
}

void TWorkflow::OnVersion(const char* text) {
  DeviceRecord& record = Record();
  record.InstrumentVersionText = text;
  const std::string_view version = record.InstrumentVersionText.view();
  if (Contains(version, "X.XX")) invalidVersion_ = true;
  record.InstrumentVersion = VersionValue(version);
  const std::size_t comma = version.find(',');
  if (comma != std::string_view::npos) record.SecondVersion = VersionValue(version.substr(comma + 1));
  identRetries_ = 0;
  form_.Timers().TimerRestart(watchdogSlot_);
  if (record.InstrumentVersion >= kFirstVersionWithSerial || Contains(version, "Y.YY")) {
    SendIdentCommand();
  } else {
    form_.Events().PostMessage(205, kBlankSerial);
  }
  identStep_ = 4;
}

void TWorkflow::OnSerialNumber(const char* text) {
  DeviceRecord& record = Record();
  record.SerialNumber = text;
  form_.SetAirPressureRow(AirPressureRow(record.DeviceNumber, record.SerialNumber, record.InstrumentVersion));
  StopWatchdog();
  CloseOtherPorts();
  const int decision = Identify();
  if (decision == kIdentifiedOnly) {
    EndIdentifyOnly();
    return;
  }
  if (decision == kUpdateConfirmed) {
    // Nothing is left to program: the acknowledgement of the resume command
    // must not move the ladder on to a programming step.
    phase_ = PH_DONE;
    Finish(false);
    return;
  }
  if (decision == kFileRefused) return;
  if (decision == 1) {
    const std::int32_t start = StartCodeOf(FileType());
    Post(start != 0 ? start : static_cast<std::int32_t>(EV_PROGRAM_FAILED));
    return;
  }
  RefuseInstrument();
}

void TWorkflow::RefuseInstrument() {
  Output().ClearIdentity();
  identificationFailed_ = true;
  View().EnableOk(true);
  Send(ResumeCommandOf(FileType()));
  identStep_ = 0;
  identRetries_ = 0;
  form_.SetOutcome(RunOutcome::NotProgrammed);
}

void TWorkflow::OnReply920() {
  const DeviceRecord& record = Record();
  if (Contains(record.DeviceNumber, "20363") && record.InstrumentVersion < 1050) {
    Send("A.1500\r\n");
    return;
  }
  ++phase_;
  Post(EV_START_MOT);
  searchFailureCount_ = 0;
}

void TWorkflow::LadderStep() {
  StopAwaitingReport();
  switch (phase_) {
    case PH_SEARCH:
      Send("A.1000\r\n");
      form_.Timers().TimerRestart(watchdogSlot_);
      break;
    case PH_READY:
      SendIdentCommand();
      form_.Timers().TimerRestart(watchdogSlot_);
      identStep_ = 1;
      break;
    case PH_FIRSTFILE:
      if (!identificationFailed_) ProgramFirstFile();
      break;
    case PH_REENTRY:
      if (!identificationFailed_) Post(EV_START_MOT);
      break;
    case PH_MAINFILE:
      if (!identificationFailed_) Post(EV_MAIN_EXTERNAL);
      break;
    case PH_SECOND:
    case PH_AFTER:
      if (!identificationFailed_) Post(EV_SECOND_COMPONENT);
      break;
    case PH_BASICLOADER:
      if (!identificationFailed_) Post(EV_BASIC_LOADER);
      break;
    default:
      break;
  }
  ++phase_;
}

void TWorkflow::Send(std::string_view command) {
  const core::FixedText<300> text(command);
  form_.SendCommand(text.c_str());
}

void TWorkflow::StopWatchdog() { watchdogSlot_ = form_.Timers().TimerStop(watchdogSlot_); }

}  // namespace updater
