#include "ui/qt/v24_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/qt/qt_message_loop.h"
#include "ui/qt/qt_text.h"

namespace ui_qt {
namespace {

using Field = serial::TV24DialogModel::Field;

constexpr int kRXTimeoutMaxChars = 4;

struct FieldNames {
  const char* label;
  const char* control;
};

constexpr std::array<FieldNames, serial::TV24DialogModel::kFieldCount> kNames = {{
    {"Label_Datenbit", "Datenbit_Box"},
    {"Label_Paritaet", "Paritaet_Box"},
    {"Label_StopBits", "StopBit_Box"},
    {"Label_Baudrate", "Baudrate_Box"},
    {"Label_Handshake", "Handshake_Box"},
    {"Label_RXTimeout", "RX_Timeout_Box"},
    {"Label_Notification", "Edit_NotificationTime"},
    {"Label_TXTimeout", "TX_Timeout_Box"},
    {"Label_NoNullChar", "NullZeichenBox"},
    {"Label_NoString", "NoStringBox"},
    {"Label_Schnittstelle", "Schnittstellen_Box"},
}};

}  // namespace

TV24_Dialog::TV24_Dialog(serial::TV24DialogModel& model, QWidget* parent) : QDialog(parent), model_(model) {
  setObjectName("V24_Dialog");
  setWindowTitle(ToQt(model_.WindowCaption()));
  auto* column = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  for (int i = 0; i < serial::TV24DialogModel::kFieldCount; ++i) {
    const auto field = static_cast<Field>(i);
    auto* label = new QLabel(ToQt(model_.Caption(field)), this);
    label->setObjectName(kNames[i].label);
    QWidget* control = MakeField(field);
    control->setObjectName(kNames[i].control);
    control->setEnabled(model_.Enabled(field));
    label->setBuddy(control);
    form->addRow(label, control);
  }
  column->addLayout(form);
  error_ = new QLabel(this);
  error_->setStyleSheet("color: #b00000");
  error_->setWordWrap(true);
  error_->hide();
  column->addWidget(error_);
  column->addStretch();

  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton(ToQt(model_.OkCaption()), this);
  ok->setObjectName("V24_Adjust_okay");
  ok->setDefault(true);
  auto* cancel = new QPushButton(ToQt(model_.CancelCaption()), this);
  cancel->setObjectName("V24_Adjust_cancel");
  connect(ok, &QPushButton::clicked, this, [this] { V24_Adjust_okayClick(); });
  connect(cancel, &QPushButton::clicked, this, [this] { V24_Adjust_cancelClick(); });
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  column->addLayout(buttons);

  // A fixed dialog border.
  setFixedSize(QSize(serial::TV24DialogModel::kClientWidth, serial::TV24DialogModel::kClientHeight)
                   .expandedTo(sizeHint()));
}

QWidget* TV24_Dialog::MakeField(Field field) {
  if (field == serial::TV24DialogModel::kNotification) {
    notification_ = new QLineEdit(ToQt(model_.Text(field)), this);
    return notification_;
  }
  auto* combo = new QComboBox(this);
  for (const std::string& item : model_.Items(field)) combo->addItem(ToQt(item));
  if (serial::TV24DialogModel::Editable(field)) {
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    if (field == serial::TV24DialogModel::kRXTimeout) combo->lineEdit()->setMaxLength(kRXTimeoutMaxChars);
    combo->setEditText(ToQt(model_.Text(field)));
  } else {
    combo->setCurrentIndex(model_.Selection(field));
  }
  combos_[field] = combo;
  return combo;
}

void TV24_Dialog::HandFieldsToModel() {
  for (int i = 0; i < serial::TV24DialogModel::kFieldCount; ++i) {
    const auto field = static_cast<Field>(i);
    if (field == serial::TV24DialogModel::kNotification) {
      model_.SetText(field, FromQt(notification_->text()));
    } else if (serial::TV24DialogModel::Editable(field)) {
      model_.SetText(field, FromQt(combos_[field]->currentText()));
    } else {
      model_.Select(field, combos_[field]->currentIndex());
    }
  }
}

void TV24_Dialog::V24_Adjust_okayClick() {
  HandFieldsToModel();
  std::string reason;
  if (!model_.Ok(&reason)) {
    error_->setText(ToQt(reason));
    error_->show();
    return;
  }
  accept();
}

void TV24_Dialog::V24_Adjust_cancelClick() {
  model_.Cancel();
  reject();
}

serial::DialogRunner V24DialogRunner(QWidget* parent, QtMessageLoop* loop) {
  return [parent, loop](serial::TV24DialogModel& model) {
    TV24_Dialog dialog(model, parent);
    const int result = loop != nullptr ? loop->RunModal(dialog) : dialog.exec();
    return result == QDialog::Accepted;
  };
}

}  // namespace ui_qt
