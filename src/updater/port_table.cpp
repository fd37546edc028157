#include "updater/port_table.h"

#include <algorithm>

namespace updater {
namespace {

// UpdateCom's line settings; further ports get them copied after opening.
void ConfigureUpdateCom(serial::V24ParameterTag& record) {
  record.DatenBits = serial::D_8;
  record.StopBits = serial::S_2;
  record.Baudrate = serial::B__4800;
  record.TXTimeOut = 10000;
  record.KeinNullZeichen = true;
}

}  // namespace

TPortTable::TPortTable(platform::MessageLoop& loop, serial::ErrorBox errorBox)
    : loop_(loop), errorBox_(std::move(errorBox)) {
  ports_.push_back(std::make_unique<serial::TComPort>());
  Configure(*ports_.front());
  ConfigureUpdateCom(*ports_.front()->GetV24Parameter());
}

TPortTable::~TPortTable() { Close(); }

void TPortTable::Configure(serial::TComPort& port) {
  port.SetErrorBox(errorBox_);
  port.SetTrace(trace_);
  port.SetLanguage(language_);
}

void TPortTable::Scan() {
  if (ports_.empty()) return;
  serial::TComPort& updateCom = *ports_.front();
  updateCom.Check_AllV24();
  usable_.clear();
  for (int i = 0; i < updateCom.GetMaxV24Useable(); ++i) usable_.push_back(updateCom.Get_UseableV24(i));
}

std::vector<std::string> TPortTable::UnusableReasons() {
  std::vector<std::string> reasons;
  if (ports_.empty()) return reasons;
  serial::TComPort& updateCom = *ports_.front();
  // Every mapped port, not only the present ones: a named port that does not
  // exist or is no serial device deserves its reason as much as a held one.
  for (int index = 0; index < serial::kPortCount; ++index) {
    if (updateCom.DevicePath(index).empty()) continue;
    if (std::find(usable_.begin(), usable_.end(), index) != usable_.end()) continue;
    if (updateCom.Open(nullptr, index, false) == serial::TComPort::kInvalidHandle) {
      reasons.push_back(updateCom.PortLabel(index) + ": " + updateCom.FailureReason());
    } else {
      updateCom.Close();  // it became free meanwhile; the next scan will list it
    }
  }
  return reasons;
}

void TPortTable::SetLanguage(int language) {
  language_ = language;
  for (const std::unique_ptr<serial::TComPort>& port : ports_) port->SetLanguage(language);
}

int TPortTable::OpenCount() const {
  return static_cast<int>(std::count_if(
      table_.begin(), table_.end(), [](const serial::TComPort* port) { return port->IsOpen(); }));
}

void TPortTable::SetTrace(serial::PortTrace* trace) {
  trace_ = trace;
  for (const std::unique_ptr<serial::TComPort>& port : ports_) port->SetTrace(trace);
}

serial::TComPort& TPortTable::OpenPort(std::unique_ptr<serial::TComPort> port, int index) {
  if (port) {
    Configure(*port);
    ports_.push_back(std::move(port));
  }
  serial::TComPort& opened = *ports_.back();
  opened.Open(&loop_, index, true);
  table_.push_back(&opened);
  numbers_.push_back(index + 1);
  return opened;
}

std::string TPortTable::Open(const UpdateSettings& settings, bool fixedPortValid) {
  fixed_ = settings.FixedPort;
  if (ports_.empty()) return {};
  if (fixed_) {
    if (!fixedPortValid) return {};
    OpenPort(nullptr, settings.FixedPortIndex);
    return "Com" + std::to_string(settings.FixedPortIndex + 1);
  }
  if (usable_.empty()) return {};
  serial::TComPort& updateCom = OpenPort(nullptr, usable_.front());
  const serial::LineSettings snapshot = updateCom.LoadV24Parameter();
  std::string panel = "[Com" + std::to_string(usable_.front() + 1) + "]";
  for (std::size_t i = 1; i < usable_.size(); ++i) {
    OpenPort(std::make_unique<serial::TComPort>(), usable_[i]).SaveV24Parameter(&snapshot);
    panel += " [" + std::to_string(usable_[i] + 1) + "]";
  }
  return panel;
}

serial::TComPort* TPortTable::At(int position) const {
  return position >= 0 && position < Count() ? table_[static_cast<std::size_t>(position)] : nullptr;
}

int TPortTable::PortNumber(int position) const {
  return position >= 0 && position < Count() ? numbers_[static_cast<std::size_t>(position)] : 0;
}

int TPortTable::PositionOf(int number) const {
  if (fixed_) return Count() > 0 ? 0 : -1;
  for (int i = 0; i < Count(); ++i) {
    if (numbers_[static_cast<std::size_t>(i)] == number) return i;
  }
  return -1;
}

std::string TPortTable::Label(int position) const {
  const serial::TComPort* port = At(position);
  return port ? port->PortLabel(PortNumber(position) - 1) : std::string();
}

void TPortTable::SendToAll(const char* data, int length) {
  for (serial::TComPort* port : table_) port->Write(data, length, false);
}

void TPortTable::ReconnectLost() {
  for (serial::TComPort* port : table_) {
    if (port != nullptr) port->Reconnect();
  }
}

void TPortTable::Close() {
  for (serial::TComPort* port : table_) port->Close();
  table_.clear();
  numbers_.clear();
  ports_.clear();
}

void TPortTable::Reset() {
  for (serial::TComPort* port : table_) port->Close();
  table_.clear();
  numbers_.clear();
  if (ports_.size() > 1) ports_.resize(1);  // UpdateCom stays, with its settings
}

}  // namespace updater
