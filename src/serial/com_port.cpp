#include "serial/com_port.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>

#include "core/text_encoding.h"
#include "platform/port_diagnosis.h"
#include "serial/line_settings.h"
#include "serial/reader_thread.h"
#include "serial/v24_dialog_model.h"
#include "serial/writer_thread.h"

namespace serial {

using platform::PortAccess;

namespace {

constexpr char kXoff = 0x13;
constexpr char kXon = 0x11;

// How long Open waits for the new writer to park; it normally takes microseconds.
constexpr std::chrono::milliseconds kWriterStartLimit{2000};
// Output stopped by flow control may never drain; the port is given back anyway.
constexpr std::chrono::milliseconds kDrainLimit{2000};

ErrorBox& DefaultErrorBox() {
  static ErrorBox box = [](const char* text) {
    std::fprintf(stderr, "%s\n", core::Cp1252ToUtf8(text).c_str());
  };
  return box;
}

// Why a port could not be opened, in the component's language (Windows-1252).
std::string ReasonText(const platform::PortDiagnosis& why, bool mapped, bool german) {
  if (!mapped) return german ? "kein Ger\xE4t zugeordnet" : "no device assigned";
  switch (why.state) {
    case platform::PortState::kHeld:
      if (why.holder.empty())
        return german ? "von einem anderen Programm belegt" : "in use by another program";
      return (german ? "belegt von " : "in use by ") + why.holder;
    case platform::PortState::kNoPermission:
      return german ? "keine Berechtigung: tragen Sie sich in die Gruppe dialout ein "
                      "(sudo usermod -aG dialout $USER) und melden Sie sich neu an"
                    : "permission denied: add yourself to the dialout group "
                      "(sudo usermod -aG dialout $USER) and log in again";
    case platform::PortState::kNotSerial:
      return german ? "keine serielle Schnittstelle" : "not a serial device";
    default:
      return german ? "nicht vorhanden" : "not present";
  }
}

}  // namespace

TComPort::TComPort(platform::SerialDriver& driver)
    : driver_(driver), staging_(new char[kBufferSize]) {
  Check_AllV24();
}

TComPort::~TComPort() {
  // Threads must not outlive the object, so an owner that forgot Close gets it here.
  Close();
}

// --- port lists ---------------------------------------------------------------

void TComPort::Check_AllV24() {
  deviceCount_ = 0;
  useableCount_ = 0;
  driver_.RefreshPortMap();
  for (int i = 0; i < kPortCount; ++i) {
    const std::string path = driver_.PortPath(i);
    if (path.empty()) continue;
    switch (driver_.Probe(path)) {
      case PortAccess::kFree:
        useable_[useableCount_++] = i;
        devices_[deviceCount_++] = i;
        break;
      case PortAccess::kHeld:
      case PortAccess::kNoPermission:
        devices_[deviceCount_++] = i;
        break;
      case PortAccess::kAbsent:
        break;
    }
  }
}

int TComPort::GetMaxV24Devices() const { return deviceCount_; }
int TComPort::GetMaxV24Useable() const { return useableCount_; }

int TComPort::Get_DeviceV24(int i) const { return (i >= 0 && i < deviceCount_) ? devices_[i] : -1; }

int TComPort::Get_UseableV24(int i) const {
  return (i >= 0 && i < useableCount_) ? useable_[i] : -1;
}

std::string TComPort::DevicePath(int index) const { return driver_.PortPath(index); }

std::string TComPort::PortLabel(int index) const {
  std::string label(ComName(index).view());
  const std::string path = DevicePath(index);
  if (!path.empty()) label += " (" + path + ")";
  return label;
}

// --- open and close -----------------------------------------------------------

int TComPort::Open(platform::MessageLoop* owner, int port, bool showError) {
  if (open_) return 0;
  v24_.Bind(streamOn_, datei_);
  V24ParameterTag record = v24_.Fetch();
  if (port != -1) record.Schnittstelle = static_cast<ComTag>(port);
  if (autoSearch_) record.Schnittstelle = Com__1;
  owner_ = owner;

  int index = record.Schnittstelle;
  PortAccess access = PortAccess::kAbsent;
  bool opened = TryOpen(index, access);
  // The search tries every present port after COM1, the first one included.
  for (int pos = 0; !opened && autoSearch_ && pos < deviceCount_; ++pos) {
    if (devices_[pos] == record.Schnittstelle) continue;
    index = devices_[pos];
    opened = TryOpen(index, access);
  }
  if (!opened) {
    // A port handed to another program that is not there to take back has
    // been lost with it: Reconnect tries again later.
    lost_ = handedOff_;
    ReportOpenFailure(index, access, showError);
    return kInvalidHandle;
  }

  record.Schnittstelle = static_cast<ComTag>(index);
  v24_.Store(record);
  open_ = true;
  openIndex_ = index;
  lastError_.clear();
  Configure(record);
  return port_->Handle();
}

bool TComPort::TryOpen(int index, PortAccess& access) {
  access = PortAccess::kAbsent;
  if (index < 0 || index >= kPortCount) return false;
  const std::string path = driver_.PortPath(index);
  if (path.empty()) return false;
  std::string detail;
  port_ = driver_.Open(path, access, detail);
  return port_ != nullptr;
}

void TComPort::ReportOpenFailure(int index, PortAccess access, bool show) {
  const bool german = language_ == 0;
  const bool inRange = index >= 0 && index < kPortCount;
  const std::string path = inRange ? DevicePath(index) : std::string();
  core::FixedText<16> name = ComName(index);
  char headline[64];
  std::snprintf(headline, sizeof headline,
                german ? "%s konnte nicht ge\xF6"
                         "ffnet werden!"
                       : "Cannot open %s! ",
                name.c_str());
  failureReason_ = ReasonText(platform::DiagnoseAccess(path, access), !path.empty(), german);
  lastError_ = headline;
  lastError_ += "\n";
  if (!path.empty()) lastError_ += path + ": ";
  lastError_ += failureReason_;
  if (!show) return;
  const ErrorBox& box = errorBox_ ? errorBox_ : DefaultErrorBox();
  if (box) box(lastError_.c_str());
}

void TComPort::Configure(const V24ParameterTag& record) {
  handshake_ = (record.Handshake >= NoHandshake && record.Handshake <= Vorlo_XonXoff)
                   ? record.Handshake
                   : NoHandshake;
  keinString_ = record.KeinString;
  rxDelay_ = record.RXNotification;

  reader_ = std::make_unique<TV24Read_Thread>(owner_, *port_, openIndex_ + 1, rxDelay_);
  writer_ = std::make_unique<TV24Write_Thread>(*port_);
  writer_->Start();

  if (!handedOff_) savedSettingsValid_ = port_->GetLineSettings(savedSettings_);
  ApplySettings(BuildLineSettings(record));

  if (!handedOff_) savedTimeouts_ = port_->GetTimeouts();
  handedOff_ = false;
  platform::SerialTimeouts timeouts;
  timeouts.readInterval = 20;
  timeouts.readTotalMultiplier = 1;
  timeouts.readTotalConstant = static_cast<std::uint32_t>(std::max(record.RXTimeOut, 0));
  timeouts.writeTotalMultiplier = 1;
  timeouts.writeTotalConstant = static_cast<std::uint32_t>(std::max(record.TXTimeOut, 0));
  port_->SetTimeouts(timeouts);

  reader_->Start();
  // A write right after Open would otherwise race the writer's first park.
  writer_->WaitUntilParked(kWriterStartLimit);
}

void TComPort::ApplySettings(const LineSettings& settings) {
  inForce_ = settings;
  // The port stays usable with what the driver took; LastError says what not.
  if (!port_->SetLineSettings(settings)) lastError_ = port_->LastError();
  if (trace_ != nullptr) trace_->LineSet(PortLabel(openIndex_), settings);
}

void TComPort::Close() {
  lost_ = false;
  if (!open_ || !port_) return;
  reader_->Stop();
  writer_->Stop();  // writes a pending asynchronous request first
  port_->DrainOutput(kDrainLimit);
  if (savedSettingsValid_) {
    LineSettings restore = savedSettings_;
    restore.discardNull = false;
    port_->SetLineSettings(restore);
  }
  port_->SetTimeouts(savedTimeouts_);
  reader_.reset();
  writer_.reset();
  port_.reset();
  open_ = false;
}

void TComPort::HandOff() {
  if (!open_) return;
  Close();
  handedOff_ = true;
}

bool TComPort::Reconnect() {
  if (open_ && port_ && port_->Gone()) {
    // Nothing can be written or restored on a device that is gone.
    reader_->Stop();
    writer_->Stop();
    reader_.reset();
    writer_.reset();
    port_.reset();
    open_ = false;
    lost_ = true;
  }
  if (!lost_) return open_;
  PortAccess access = PortAccess::kAbsent;
  if (!TryOpen(openIndex_, access)) return false;
  lost_ = false;
  open_ = true;
  lastError_.clear();
  // The line goes back to what was in force when the device went away (the
  // rate the search had found, say), not to the parameter set of the first
  // opening; the old device's termios snapshot does not apply to the new one.
  LineSettings inForce = inForce_;
  inForce.native = {};
  Configure(v24_.Fetch());
  ApplySettings(inForce);
  return true;
}

int TComPort::Handle() const { return port_ ? port_->Handle() : kInvalidHandle; }

// --- data ---------------------------------------------------------------------

int TComPort::Read(char* buffer, unsigned long size) {
  if (!open_) return kClosed;
  reader_->ClearNotification();  // before reading, so that no arrival slips between
  if (buffer == nullptr) return 0;
  const std::size_t wanted = std::min<unsigned long>(size, INT_MAX);
  long n = port_->Read(buffer, wanted);
  if (n < 0) n = 0;
  if (n > 0 && trace_ != nullptr)
    trace_->Received(PortLabel(openIndex_), {buffer, static_cast<std::size_t>(n)});
  if (!keinString_) buffer[n] = '\0';
  return static_cast<int>(n);
}

int TComPort::Queued() {
  if (!open_) return 0;
  return static_cast<int>(std::min<std::size_t>(port_->Queued(), INT_MAX));
}

int TComPort::Write(const char* data, int length, bool async) {
  if (!open_) return kClosed;
  if (data == nullptr || length < -1) return 0;
  const std::size_t size = length == -1 ? std::strlen(data) : static_cast<std::size_t>(length);
  const bool framed = FramesWrites(handshake_);
  const std::size_t total = size + (framed ? 2 : 0);
  if (total > kBufferSize) return 0;
  if (trace_ != nullptr) trace_->Sent(PortLabel(openIndex_), {data, size});
  char* out = staging_.get();
  if (framed) *out++ = kXoff;
  std::memcpy(out, data, size);
  if (framed) out[size] = kXon;
  return writer_->Submit(staging_.get(), total, async);
}

void TComPort::GetWriteStatus() {
  if (open_) writer_->ClearError();
}

// --- line settings --------------------------------------------------------------

void TComPort::ChangeBaudrate(BaudTag baud) {
  LineSettings s;
  if (!open_ || !port_->GetLineSettings(s)) return;
  s.baudRate = LineBaudRate(baud);
  ApplySettings(s);
}

void TComPort::ChangeV24Parameter(BaudTag baud, StopBitTag stopBits, ParitaetTag parity,
                                  bool keinNull) {
  LineSettings s;
  if (!open_ || !port_->GetLineSettings(s)) return;
  s.baudRate = LineBaudRate(baud);
  s.stopBits = LineStopBits(stopBits);
  s.parity = LineParity(parity);
  s.discardNull = keinNull;
  ApplySettings(s);
}

void TComPort::ChangeHandShake(HandshakeTag handshake) {
  LineSettings s;
  if (!open_ || !port_->GetLineSettings(s)) return;
  handshake_ = handshake;
  ApplyHandshake(s, handshake);
  ApplySettings(s);
}

LineSettings TComPort::LoadV24Parameter() {
  LineSettings s;
  if (open_) port_->GetLineSettings(s);
  return s;
}

void TComPort::SaveV24Parameter(const LineSettings* settings) {
  if (open_ && settings != nullptr) ApplySettings(*settings);
}

void TComPort::SaveLastV24Parameter() {
  if (open_ && port_->GetLineSettings(lastSettings_)) lastSettingsFilled_ = true;
}

void TComPort::LoadLastV24Parameter() {
  if (open_ && lastSettingsFilled_) ApplySettings(lastSettings_);
}

// --- parameter set --------------------------------------------------------------

V24ParameterTag* TComPort::GetV24Parameter() {
  v24_.Bind(false, "");
  return &v24_.Fetch();
}

void TComPort::InitParameter(const V24ParameterTag* record, bool autoSearch) {
  if (record != nullptr) {
    v24_.Bind(streamOn_, datei_);
    v24_.Store(*record);
  }
  autoSearch_ = autoSearch;
}

void TComPort::SetV24(const TV24Parameter* other) {
  if (other == nullptr) return;
  v24_.Bind(false, "");
  v24_.Store(other->Record());
}

void TComPort::SetV24Dlg(const TDlgParameter* other) {
  if (other != nullptr) v24Dialog_ = *other;
}

// --- reader notification ----------------------------------------------------------

void TComPort::ChangeRXNotifyDelay(unsigned long ms) {
  if (!open_) return;
  rxDelay_ = static_cast<std::uint32_t>(std::min<unsigned long>(ms, UINT32_MAX));
  reader_->SetDelay(rxDelay_);
}

unsigned long TComPort::GetRXNotificationTime() const { return rxDelay_; }

void TComPort::Reset_SetAktiv() {
  if (reader_) reader_->ClearNotification();
}

void TComPort::SetDefaultErrorBox(ErrorBox box) { DefaultErrorBox() = std::move(box); }

// --- settings dialog ------------------------------------------------------------

bool TComPort::OpenDialog(const DialogRunner& run) {
  Check_AllV24();
  TV24DialogModel model(language_, devices_, deviceCount_);
  v24_.Bind(streamOn_, datei_);
  V24ParameterTag working = v24_.Fetch();
  model.Show(v24Dialog_, &working);
  const bool ok = run && run(model) && model.ModalResult() == TV24DialogModel::kOk;
  if (!ok) return false;
  v24_.Store(working);
  if (open_) {
    Close();
    Open(owner_, working.Schnittstelle, true);
  }
  return true;
}

}  // namespace serial
