#include "loaders/emf_session.h"

#include <cstring>

#include "loaders/emf_commands.h"
#include "loaders/loader_texts.h"
#include "updater/event_codes.h"
#include "updater/update_form.h"

namespace loaders {
namespace {

constexpr long kSettleMs = 200;     // the last command leaves the line before its rate changes
constexpr long kEndPauseMs = 1500;  // the instrument settles before the workflow talks to it
constexpr std::int32_t kLineAt9600After = 2;  // StartCmdIndex that wants 9600 8N2 after success

const char* TextOf(const core::TEventRecord& event) { return event.Text() ? event.Text() : ""; }

}  // namespace

bool EmfSession::Write(const char* text) {
  return WriteBytes(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text));
}

bool EmfSession::Command(char letter) {
  const std::uint8_t byte = static_cast<std::uint8_t>(letter);
  if (!WriteBytes(&byte, 1)) return false;
  return !confirmation || Write(emf::kConfirmationLine);
}

void EmfSession::SwitchLine(serial::BaudTag rate) {
  SetLine(rate, serial::S_2, serial::NoParity, serial::NoHandshake);
}

bool EmfSession::OnMessage(const core::TEventRecord& event) {
  switch (event.Code) {
    case updater::EV_SERIAL_DATA:
      if (!xmodemMode) return false;
      steps.transferData();
      return true;
    case updater::EV_ACKNOWLEDGE:
      steps.acknowledged();
      return true;
    case updater::EV_REPLY_LINE:
      steps.replyLine();
      return true;
    case updater::RP_BOOT_LOADER_VERSION:
      steps.version(TextOf(event));
      return true;
    case updater::RP_IMAGE_CRC:
      steps.crcReport(TextOf(event));
      return true;
    default:
      return false;
  }
}

// OK must not start a new run while the instrument is being programmed.
bool EmfSession::OnCommand(const core::TEventRecord& event) {
  return event.Code == updater::CMD_START;
}

bool EmfSession::Conduct(const std::function<void()>& opening) {
  const RunEnd end{kEndPauseMs, Context().config.startCmdIndex == kLineAt9600After, kSettleMs};
  return LoaderSession::Conduct(kWatchdogMs, end, opening);
}

void EmfSession::ReportFailure() const {
  ShowFailure(StepErrorText(kStepNotAvailable, Context().language));
}

}  // namespace loaders
