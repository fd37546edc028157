#pragma once
// TV24DialogModel: the toolkit-free model of the serial settings dialog
// TV24_Dialog. The window front end draws the eleven fields from it,
// forwards the user's choices (Select, SetText) and calls Ok() or Cancel().
// Main thread only.
//
// Choices made here:
// - Parity list: the words match the stored values: "keine" (NoParity),
//   "ungerade" (Odd), "gerade" (Even) at positions 0, 1, 2.
// - A list without a selection (a record value that has no entry, such as
//   B128000, Mark or a port not in the device list) keeps the record's value on
//   OK when that value is within its enumeration (for the port: in the device
//   list); otherwise OK stores the default (D_8, NoParity, S_1, B__4800,
//   NoHandshake, the first port of the device list).
#include <string>
#include <vector>

#include "serial/v24_parameter.h"
#include "serial/v24_types.h"

namespace serial {

class TV24DialogModel {
 public:
  /// The controls, top to bottom.
  enum Field {
    kDatenbit,       ///< Datenbit_Box, drop-down list
    kParitaet,       ///< Paritaet_Box, drop-down list
    kStopBit,        ///< StopBit_Box, drop-down list
    kBaudrate,       ///< Baudrate_Box, drop-down list
    kHandshake,      ///< Handshake_Box, drop-down list
    kRXTimeout,      ///< RX_Timeout_Box, editable combo, at most 4 characters
    kNotification,   ///< Edit_NotificationTime, edit field (always enabled)
    kTXTimeout,      ///< TX_Timeout_Box, editable combo
    kNullZeichen,    ///< NullZeichenBox, combo "false"/"true"
    kNoString,       ///< NoStringBox, combo "false"/"true"
    kSchnittstelle,  ///< Schnittstellen_Box, drop-down list of the device list
    kFieldCount
  };
  enum Result { kNone = 0, kOk = 1, kCancel = 2 };

  /// `language` 0 German, other English; the device list (port indices) and its count.
  TV24DialogModel(int language, const int* devices, int deviceCount);

  /// Window caption ("Einstellungen" / "Settings"), client size 399 x 467.
  const char* WindowCaption() const;
  static constexpr int kClientWidth = 399;
  static constexpr int kClientHeight = 467;
  /// Caption of a field's label; of the buttons.
  const char* Caption(Field field) const;
  const char* OkCaption() const { return "OK"; }
  const char* CancelCaption() const;

  /// Whether the field is a text field (editable combo or edit) rather than a list.
  static bool Editable(Field field);
  /// The entries of a field's list (empty for Edit_NotificationTime).
  const std::vector<std::string>& Items(Field field) const;

  /// Prepares the fields from the enable flags and the working record (which
  /// must outlive the dialog): enables, selects each list's entry, puts the
  /// time-outs and the delay as decimal text, fills the port list.
  void Show(const TDlgParameter& flags, V24ParameterTag* record);

  bool Enabled(Field field) const { return enabled_[field]; }
  /// Selected position, -1 for none.
  int Selection(Field field) const { return selection_[field]; }
  /// Selects a position (-1 clears; out of range is ignored); for an editable
  /// combo also sets its text to the entry.
  void Select(Field field, int position);
  /// Text of a text field (RX/TX time-out, delay; a combo's entry text).
  const std::string& Text(Field field) const { return text_[field]; }
  /// Sets a text field's text (RX_Timeout_Box cut to 4 characters); a combo
  /// whose text equals an entry selects it, otherwise it has no selection.
  void SetText(Field field, const std::string& text);

  /// OK: reads the fields back into the working record: lists, then texts, then the port, then the
  /// two flags. False (nothing stored, dialog stays open) when a time-out or delay text is not a
  /// decimal number; `error` then names the field.
  bool Ok(std::string* error = nullptr);
  /// Cancel: changes nothing.
  void Cancel() { result_ = kCancel; }
  Result ModalResult() const { return result_; }

 private:
  int language_;
  std::vector<int> devices_;
  std::vector<std::string> items_[kFieldCount];
  bool enabled_[kFieldCount] = {};
  int selection_[kFieldCount] = {};
  std::string text_[kFieldCount];
  V24ParameterTag* record_ = nullptr;
  Result result_ = kNone;
};

}  // namespace serial
