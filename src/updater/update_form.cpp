#include "updater/update_form.h"

#include "serial/v24_types.h"
#include "updater/app_texts.h"
#include "updater/reply_reader.h"

namespace updater {

TUpdateForm::TUpdateForm(platform::MessageLoop& loop, UpdateView& view, Installation installation)
    : loop_(loop),
      view_(view),
      installation_(std::move(installation)),
      record_(std::make_unique<DeviceRecord>()),
      drain_(events_, loop),
      timers_(loop, events_, [this] { ProcessEvents(); }),
      wait_(loop),
      secTimer_(loop.CreateTimer([this] { SecTimerTimer(); })),
      titleTimer_(loop.CreateTimer([this] { TitleTimerTimer(); })),
      output_(view, *record_),
      parser_(events_, *this),
      ports_(loop, [&view](const char* text) {
        view.MessageBox(text, texts::kCaptionError, BoxIcon::Error, BoxButtons::Ok);
      }) {
  output_.SetRunLog(&runLog_);
  ports_.SetTrace(&runLog_);
  timers_.TimerRegister(kTimerCount);
  wait_.SetEnable(true);
  wait_.SetDividend(1);
  secTimer_->SetInterval(kSecTimerMs);
  titleTimer_->SetInterval(kTitleTimerMs);
  loop_.SetMessageHandler([this](const platform::Message& message) { OnMessage(message); });
  if (CurrentWorkflowMaker()) workflow_ = CurrentWorkflowMaker()(*this);
}

TUpdateForm::~TUpdateForm() {
  loop_.SetMessageHandler(nullptr);
  workflow_.reset();
  ports_.Close();
}

bool TUpdateForm::Start() {
  if (LoadUpdateSettings("Update.ini") != 0) {
    Close();
    return false;
  }
  output_.SetLanguage(settings_.Language);
  view_.CheckMenuItem(settings_.Language == kEnglish ? MenuItem::Englisch : MenuItem::Deutsch, true);
  if (LoadDeviceProfiles("ProgDevice.ini") != 0) {
    Close();
    return false;
  }
  foundPort_ = -1;
  airPressureRow_ = -1;
  versionCheck_ = true;
  if (workflow_) workflow_->Attach();
  ports_.Scan();
  parser_.ClearAnswerSeen();
  view_.SetProgressMax(kProgressMaxAtStart);
  catalogue_ = BuildCatalogue(installation_.programDir, profiles_);
  ShowCatalogue();
  ShowStartText();
  view_.Translate(output_.Pick(texts::kTranslationFile));
  OpenPorts(!settingsProblems_.comInvalid);
  return true;
}

void TUpdateForm::Close() {
  if (closed_) return;
  closed_ = true;
  view_.ShowPanel(Panel::Stop, true);
  if (workflow_) workflow_->OnClose();
  StopSecTimer();
  StopTitleTimer();
  ports_.Close();
  view_.CloseWindow();
}

void TUpdateForm::OnMessage(const platform::Message& message) {
  const int number = static_cast<int>(message.param);
  switch (message.number) {
    case serial::WM_V24_RXDATA:
      events_.PostMessage(EV_SERIAL_DATA, static_cast<std::uintptr_t>(number));
      ProcessEvents();
      break;
    case serial::WM_V24_LINEERROR:
      if (workflow_) workflow_->OnLineError(number);
      break;
    case WM_CLOSE_REQUEST:
      Close();
      break;
    case WM_INTERRUPT:
      Interrupt(number);
      break;
    default:
      break;  // overrun and parity errors are not acted on
  }
}

// The run is told through the queue, so that it ends where it stands when
// nothing is on the line, and at the next frame boundary when a back-end talks.
void TUpdateForm::Interrupt(int signal) {
  if (interruptSignal_ != 0) return;
  interruptSignal_ = signal;
  runLog_.Note("interrupted by signal " + std::to_string(signal));
  if (!workflow_) {
    Close();
    return;
  }
  events_.PostMessage(EV_INTERRUPT);
  ProcessEvents();
}

core::TEventRecord TUpdateForm::ProcessEvents() { return drain_.ProcessEvents(); }

void TUpdateForm::ParseReplies(int number) {
  const int position = ports_.PositionOf(number);
  serial::TComPort* port = ports_.At(position);
  if (port == nullptr) return;
  FeedArrivedReplies(*port, parser_, position);
}

void TUpdateForm::AnswerFrom(int position) {
  if (foundPort_ != -1) return;
  foundPort_ = position;
  const int number = ports_.PortNumber(position);
  output_.SetFoundComNumber(number);
  view_.SetStatusPanel(1, "Com" + std::to_string(number));
}

void TUpdateForm::SetOutcome(RunOutcome outcome) {
  outcome_ = outcome;
  constexpr const char* kResults[] = {"",
                                      "the instrument was updated",
                                      "programming failed or was aborted",
                                      "not programmed by decision",
                                      "no instrument found",
                                      "identified, not programmed",
                                      "interrupted by the user",
                                      "a firmware file was refused, nothing was sent"};
  if (outcome != RunOutcome::None)
    runLog_.Note(std::string("result: ") + kResults[static_cast<int>(outcome)]);
}

void TUpdateForm::SendToAll(const char* data, int length) { ports_.SendToAll(data, length); }

int TUpdateForm::WriteCommand(const char* text) {
  serial::TComPort* port = ports_.At(foundPort_);
  return port ? port->Write(text, -1, false) : serial::TComPort::kClosed;
}

void TUpdateForm::SendCommand(const char* text) {
  WriteCommand(text);
  output_.LogCommand(text);
}

void TUpdateForm::ShowStartText() { output_.Log(profiles_.Starttext(settings_.Language)); }

void TUpdateForm::StartTitleTimer(float expectedTicks) {
  titleTicks_ = 0;
  expectedTicks_ = expectedTicks > 0.0f ? expectedTicks : 1.0f;
  titleTimer_->SetEnabled(true);
}

void TUpdateForm::SecTimerTimer() { view_.SetProgress(view_.Progress() + 1); }

void TUpdateForm::TitleTimerTimer() {
  ++titleTicks_;
  output_.ReportProgress("", static_cast<float>(titleTicks_) / expectedTicks_ * 100.0f);
}

}  // namespace updater
