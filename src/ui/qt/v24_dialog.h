#pragma once
// TV24_Dialog: the serial settings dialog, drawn from a TV24DialogModel.
//
// Each field of the model is one row: a label and a drop-down list, an
// editable combo box or an edit field, enabled as the model says. OK hands
// every field to the model and closes only when the model accepts them; a
// text that is not a number leaves the dialog open with the reason shown
// under the fields. Cancel closes and changes nothing. Main thread only.
#include <QDialog>
#include <array>

#include "serial/com_port.h"
#include "serial/v24_dialog_model.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace ui_qt {

class QtMessageLoop;

class TV24_Dialog final : public QDialog {
 public:
  /// `model` has been shown (TV24DialogModel::Show) and outlives the dialog.
  TV24_Dialog(serial::TV24DialogModel& model, QWidget* parent = nullptr);

  QComboBox* Combo(serial::TV24DialogModel::Field field) const { return combos_[field]; }
  QLineEdit* NotificationEdit() const { return notification_; }
  QLabel* ErrorLabel() const { return error_; }

  /// The buttons' handlers.
  void V24_Adjust_okayClick();
  void V24_Adjust_cancelClick();

 private:
  QWidget* MakeField(serial::TV24DialogModel::Field field);
  void HandFieldsToModel();

  serial::TV24DialogModel& model_;
  std::array<QComboBox*, serial::TV24DialogModel::kFieldCount> combos_{};
  QLineEdit* notification_ = nullptr;
  QLabel* error_ = nullptr;
};

/// The runner TComPort::OpenDialog takes: shows TV24_Dialog modally over
/// `parent` (through `loop` when given, so that messages and timers are
/// delivered meanwhile) and returns true for OK.
serial::DialogRunner V24DialogRunner(QWidget* parent = nullptr, QtMessageLoop* loop = nullptr);

}  // namespace ui_qt
