// TWorkflow: the search for the instrument over all ports and baud rates, the
// direct boot-loader probes, the line-error handler and the search failure.
#include "updater/workflow/search_tables.h"
#include "updater/workflow/workflow.h"
#include "updater/workflow/workflow_codes.h"
#include "updater/workflow/workflow_texts.h"

namespace updater {
namespace {

// Marks a search step (or the line-error handler's wait) as under way for as
// long as it runs, also when it returns early.
class BusyGuard {
 public:
  explicit BusyGuard(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
  ~BusyGuard() { flag_ = was_; }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;

 private:
  bool& flag_;
  bool was_;
};

constexpr std::string_view kLineBreak = "\r\n";

}  // namespace

bool TWorkflow::SearchStep(bool advance) {
  BusyGuard busy(searchBusy_);
  if (advance) ++baudIndex_;
  if (baudIndex_ < 0) baudIndex_ = 0;
  const std::int32_t rates = form_.Settings().BaudCount;
  if (baudIndex_ > rates) {
    SearchFailed();
    return false;
  }
  if (baudIndex_ < rates) {
    TryBaudRate();
  } else {
    SendBootProbe();
  }
  return true;
}

void TWorkflow::SetLineOfAll(serial::BaudTag baud, serial::StopBitTag stopBits, serial::ParitaetTag parity) {
  TPortTable& ports = form_.Ports();
  const serial::TComPort* first = ports.At(0);
  if (first == nullptr) return;
  const bool keinNull = first->V24Record().KeinNullZeichen;
  for (int i = 0; i < ports.Count(); ++i) {
    if (serial::TComPort* port = ports.At(i)) port->ChangeV24Parameter(baud, stopBits, parity, keinNull);
  }
}

void TWorkflow::TryBaudRate() {
  currentBaud_ = form_.Settings().Baud[static_cast<std::size_t>(baudIndex_)];
  View().SetStatusPanel(2, BaudName(currentBaud_));
  form_.Parser().Clear();
  // The firmware's own stop bits and parity: a probe of this or an earlier
  // run left the line at the boot loader's.
  const serial::V24ParameterTag firmware = FirmwareLine();
  SetLineOfAll(static_cast<serial::BaudTag>(currentBaud_), firmware.StopBits, firmware.Paritaet);
  form_.Wait().DelayTime(500, false);
  form_.SendToAll("\r\n\r\n");
  // Answers to the previous rate may still come in meanwhile.
  form_.Wait().DelayTime(500, true);
  const core::FixedText<16> identify(IdentifyCommandOf(StartCmdIndex()));
  form_.SendToAll(identify.c_str());
  Output().LogCommand(identify);
}

void TWorkflow::SendBootProbe() {
  form_.Parser().Clear();
  // The probe must reach the boot loader at its own line settings (one stop
  // bit; the MSP430 loader also even parity at 9600 bit/s; the EMF boot loader
  // that starts by itself 9600 8N2). Only the line is switched: the parameter
  // set keeps the firmware's settings, which the next search needs again.
  serial::ParitaetTag parity = FirmwareLine().Paritaet;
  serial::BaudTag probeRate = serial::B_38400;
  serial::StopBitTag stopBits = serial::S_1;
  if (FileType() == FT_TXT) {
    parity = serial::Even;
    probeRate = serial::B__9600;
  } else if (ProbeFileType() == FT_BIN) {
    parity = serial::NoParity;
    probeRate = serial::B__9600;
    stopBits = serial::S_2;
  }
  View().SetStatusPanel(2, "BL-Baud");
  form_.Parser().Clear();
  SetLineOfAll(probeRate, stopBits, parity);
  form_.Wait().DelayTime(200, false);
  StopWatchdog();
  if (FileType() == FT_TXT && !hintShown_) ShowBootLoaderHint();
  watchdogSlot_ = form_.Timers().TimerStart(kWatchdogMs);
  const BootProbe probe = FirstProbeOf(ProbeFileType());
  if (probe.length > 0) form_.SendToAll(probe.bytes, probe.length);
  probeState_ = 3;
}

// The start-up FileType takes a .BIN main file for .mot until an
// identification has read the instrument's own profile; an installation whose
// first instrument type is programmed with a .BIN image waits for the EMF
// boot loader.
std::int32_t TWorkflow::ProbeFileType() {
  const std::vector<DeviceProfile>& table = Profiles().Table;
  if (FileType() == FT_MOT && !table.empty() && table[0].ProgFile2.view().find(".BIN") != std::string_view::npos) {
    return FT_BIN;
  }
  return FileType();
}

serial::V24ParameterTag TWorkflow::FirmwareLine() {
  const serial::TComPort* first = form_.Ports().At(0);
  return first != nullptr ? first->V24Record() : serial::V24ParameterTag{};
}

void TWorkflow::ShowBootLoaderHint() {
  // The second line of the abort text tells the user how to start the
  // instrument's boot loader by hand.
  const std::string text(Output().FormatText(Profiles().Abbruchtext(Language())).view());
  const std::size_t firstBreak = text.find(kLineBreak);
  if (firstBreak == std::string::npos) return;
  const std::size_t from = firstBreak + kLineBreak.size();
  const std::size_t secondBreak = text.find(kLineBreak, from);
  if (secondBreak == std::string::npos) return;
  hintShown_ = true;
  std::string hint = text.substr(from, secondBreak + kLineBreak.size() - from);
  hint.append(Output().Pick(texts::kHintConfirm));
  View().MessageBox(hint, Output().Pick(texts::kCaptionInfoBi), BoxIcon::Information, BoxButtons::Ok);
}

void TWorkflow::WatchdogExpired() {
  if (awaitingReport_) return ReportOverdue();
  if (probeState_ == 3) {
    const BootProbe probe = SecondProbeOf(ProbeFileType());
    if (probe.length > 0) form_.SendToAll(probe.bytes, probe.length);
    probeState_ = 4;
    return;
  }
  if (identRetries_ >= kIdentRetries) {
    searchFailureCount_ = 2;
    SearchFailed();
    return;
  }
  // An identification command went unanswered: ask again on the found port
  // rather than moving the search to another rate, and count it, so that an
  // instrument that has stopped answering ends in the transmission-error box.
  if (form_.FoundPort() >= 0 && identStep_ >= 1 && identStep_ <= 4) {
    ++identRetries_;
    Send(kIdentCmd[identStep_ - 1]);
    return;
  }
  SearchStep(!lineErrorSeen_);
}

void TWorkflow::OnLineError(int number) {
  TPortTable& ports = form_.Ports();
  const int position = ports.PositionOf(number);
  // Once a port has answered, the search is over: another device talking at
  // another rate on some other port must not move the found port's rate, and
  // the found port's own bytes are left to the reply parser.
  if (form_.FoundPort() >= 0) {
    if (position != form_.FoundPort()) DiscardInput(position);
    return;
  }
  DiscardInput(position);
  // Errors that come in while a step is already changing the rate stem from
  // the rate being left: acting on them would skip the next rate untried, and
  // counting them would keep the watchdog from ever advancing the search.
  if (watchdogSlot_ == 0 || searchBusy_) return;
  lineErrorSeen_ = true;
  {
    BusyGuard busy(searchBusy_);
    form_.Timers().TimerRestart(watchdogSlot_);
    form_.Wait().DelayTime(500, true);
  }
  if (watchdogSlot_ != 0 && form_.FoundPort() < 0) SearchStep(true);
}

void TWorkflow::DiscardInput(int position) {
  if (serial::TComPort* port = form_.Ports().At(position)) {
    char discard[TReplyParser::kReadSize + 1];
    port->Read(discard, TReplyParser::kReadSize);
  }
}

void TWorkflow::SearchFailed() {
  StopWatchdog();
  identStep_ = 0;
  identRetries_ = 0;
  View().EnableMenuItem(MenuItem::Programming, true);
  View().ShowPanel(Panel::Wait, false);
  hintShown_ = false;
  form_.SetOutcome(RunOutcome::NotFound);
  const std::string_view caption = Output().Pick(texts::kCaptionFehler);
  switch (searchFailureCount_) {
    case 0:
      View().MessageBox(Output().FormatText(Output().Pick(texts::kNoDeviceFound)), caption, BoxIcon::Error,
                        BoxButtons::Ok);
      form_.Events().PostCommand(CMD_START);
      searchFailureCount_ = 1;
      break;
    case 1:
      View().MessageBox(Output().FormatText(Output().Pick(texts::kNoNameFound)), caption, BoxIcon::Error,
                        BoxButtons::Ok);
      form_.Close();
      break;
    case 2:
      if (View().MessageBox(Output().FormatText(Output().Pick(texts::kTransmitError)), caption, BoxIcon::Error,
                            BoxButtons::YesNo) == BoxAnswer::Yes) {
        form_.Events().PostCommand(CMD_START);
        searchFailureCount_ = 0;
      } else {
        form_.Close();
      }
      break;
    default:
      break;
  }
  Output().ClearIdentity();
}

}  // namespace updater
