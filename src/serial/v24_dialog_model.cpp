#include "serial/v24_dialog_model.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace serial {

namespace {

struct Captions {
  const char* german;
  const char* english;
};

// Label captions by field, in Windows-1252.
constexpr Captions kCaptions[TV24DialogModel::kFieldCount] = {
    {"&Datenbit", "Data Bits"},          {"Parit\xE4t", "Parity"},
    {"StopBits", "Stop Bits"},           {"Baudrate", "Baud Rate"},
    {"Handshake", "Flow Control"},       {"RX_Timeout /ms", "RX Timeout/ms"},
    {"RX-Ereignis /ms", "RX Notify/ms"}, {"TX_Timeout /ms", "TX Timeout/ms"},
    {"kein Nullzeichen", "No NullChar"}, {"kein String", "No String"},
    {"Schnittstelle", "Com Port"},
};

constexpr int kRXTimeoutMaxChars = 4;

// Parses a whole decimal text into a 32-bit value (signed or unsigned range).
bool ParseDecimal(const std::string& text, long long low, long long high, long long& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtoll(text.c_str(), &end, 10);
  return errno == 0 && *end == '\0' && value >= low && value <= high;
}

}  // namespace

TV24DialogModel::TV24DialogModel(int language, const int* devices, int deviceCount)
    : language_(language), devices_(devices, devices + std::max(deviceCount, 0)) {
  items_[kDatenbit] = {"7", "8"};
  items_[kParitaet] = {"keine", "ungerade", "gerade"};
  items_[kStopBit] = {"1", "1.5", "2"};
  items_[kBaudrate] = {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
  items_[kHandshake] = {"kein Handshake", "RTS/CTS", "X_On/X_Off", "Vorlo X_On/X_Off"};
  items_[kRXTimeout] = {"0", "10", "100", "1000"};
  items_[kTXTimeout] = {"0", "10", "100", "1000"};
  items_[kNullZeichen] = {"false", "true"};
  items_[kNoString] = {"false", "true"};
  std::fill(std::begin(selection_), std::end(selection_), -1);
  text_[kNotification] = "1000";
}

const char* TV24DialogModel::WindowCaption() const {
  return language_ == 0 ? "Einstellungen" : "Settings";
}

const char* TV24DialogModel::Caption(Field field) const {
  return language_ == 0 ? kCaptions[field].german : kCaptions[field].english;
}

const char* TV24DialogModel::CancelCaption() const {
  return language_ == 0 ? "Abbrechen" : "Cancel";
}

bool TV24DialogModel::Editable(Field field) {
  return field == kRXTimeout || field == kNotification || field == kTXTimeout ||
         field == kNullZeichen || field == kNoString;
}

const std::vector<std::string>& TV24DialogModel::Items(Field field) const { return items_[field]; }

void TV24DialogModel::Show(const TDlgParameter& flags, V24ParameterTag* record) {
  record_ = record;
  result_ = kNone;
  enabled_[kDatenbit] = flags.DatenBits;
  enabled_[kSchnittstelle] = flags.Schnittstelle;
  enabled_[kParitaet] = flags.Paritaet;
  enabled_[kStopBit] = flags.StopBits;
  enabled_[kBaudrate] = flags.Baudrate;
  enabled_[kHandshake] = flags.Handshake;
  enabled_[kRXTimeout] = flags.RXTimeOut;
  enabled_[kTXTimeout] = flags.TXTimeOut;
  enabled_[kNullZeichen] = flags.KeinNullZeichen;
  enabled_[kNoString] = flags.KeinString;
  enabled_[kNotification] = true;  // the delay can always be edited

  selection_[kDatenbit] = -1;
  Select(kDatenbit, record->DatenBits);
  selection_[kParitaet] = -1;
  Select(kParitaet, record->Paritaet);
  selection_[kStopBit] = -1;
  Select(kStopBit, record->StopBits);
  selection_[kBaudrate] = -1;
  Select(kBaudrate, record->Baudrate);
  selection_[kHandshake] = -1;
  Select(kHandshake, record->Handshake);
  Select(kNullZeichen, record->KeinNullZeichen ? 1 : 0);
  Select(kNoString, record->KeinString ? 1 : 0);
  SetText(kRXTimeout, std::to_string(record->RXTimeOut));
  SetText(kNotification, std::to_string(record->RXNotification));
  SetText(kTXTimeout, std::to_string(record->TXTimeOut));

  items_[kSchnittstelle].clear();
  selection_[kSchnittstelle] = -1;
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    items_[kSchnittstelle].emplace_back(ComName(devices_[i]).view());
    if (devices_[i] == record->Schnittstelle) selection_[kSchnittstelle] = static_cast<int>(i);
  }
}

void TV24DialogModel::Select(Field field, int position) {
  if (position < -1 || position >= static_cast<int>(items_[field].size())) return;
  selection_[field] = position;
  if (Editable(field)) text_[field] = position < 0 ? std::string() : items_[field][position];
}

void TV24DialogModel::SetText(Field field, const std::string& text) {
  text_[field] = field == kRXTimeout ? text.substr(0, kRXTimeoutMaxChars) : text;
  const auto& items = items_[field];
  const auto found = std::find(items.begin(), items.end(), text_[field]);
  selection_[field] = found == items.end() ? -1 : static_cast<int>(found - items.begin());
}

bool TV24DialogModel::Ok(std::string* error) {
  if (record_ == nullptr) return false;
  long long rxTimeout = 0;
  long long notification = 0;
  long long txTimeout = 0;
  const struct {
    Field field;
    long long low, high;
    long long* value;
  } numbers[] = {{kRXTimeout, INT32_MIN, INT32_MAX, &rxTimeout},
                 {kNotification, 0, UINT32_MAX, &notification},
                 {kTXTimeout, INT32_MIN, INT32_MAX, &txTimeout}};
  for (const auto& n : numbers) {
    if (!ParseDecimal(text_[n.field], n.low, n.high, *n.value)) {
      if (error != nullptr) *error = "'" + text_[n.field] + "' is not a valid number";
      return false;
    }
  }

  V24ParameterTag& r = *record_;
  // A list without a selection keeps a value that is still valid, else the default.
  auto pick = [this](Field field, int current, int count, int fallback) {
    if (selection_[field] >= 0) return selection_[field];
    return (current >= 0 && current < count) ? current : fallback;
  };
  r.DatenBits = static_cast<DatBitTag>(pick(kDatenbit, r.DatenBits, 2, D_8));
  r.Paritaet = static_cast<ParitaetTag>(pick(kParitaet, r.Paritaet, 5, NoParity));
  r.StopBits = static_cast<StopBitTag>(pick(kStopBit, r.StopBits, 3, S_1));
  r.Baudrate = static_cast<BaudTag>(pick(kBaudrate, r.Baudrate, 10, B__4800));
  r.Handshake = static_cast<HandshakeTag>(pick(kHandshake, r.Handshake, 4, NoHandshake));
  r.RXTimeOut = static_cast<std::int32_t>(rxTimeout);
  r.RXNotification = static_cast<std::uint32_t>(notification);
  r.TXTimeOut = static_cast<std::int32_t>(txTimeout);
  if (selection_[kSchnittstelle] >= 0) {
    r.Schnittstelle = static_cast<ComTag>(devices_[selection_[kSchnittstelle]]);
  } else if (!devices_.empty() &&
             std::find(devices_.begin(), devices_.end(), r.Schnittstelle) == devices_.end()) {
    r.Schnittstelle = static_cast<ComTag>(devices_.front());
  }
  r.KeinNullZeichen = selection_[kNullZeichen] == 1;
  r.KeinString = selection_[kNoString] == 1;
  result_ = kOk;
  return true;
}

}  // namespace serial
