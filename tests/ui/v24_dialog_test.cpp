#include "ui/qt/v24_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace ui_qt {
namespace {

using Model = serial::TV24DialogModel;

class V24DialogTest : public ::testing::Test {
 protected:
  void Show(const serial::TDlgParameter& flags) {
    record_ = serial::DefaultV24Parameter();
    record_.Schnittstelle = static_cast<serial::ComTag>(2);
    before_ = record_;
    model_.Show(flags, &record_);
    dialog_ = std::make_unique<TV24_Dialog>(model_, nullptr);
  }
  void Click(const char* button) {
    QTest::mouseClick(dialog_->findChild<QPushButton*>(button), Qt::LeftButton);
  }
  static serial::TDlgParameter AllEnabled() {
    serial::TDlgParameter all;
    all.DatenBits = all.Schnittstelle = all.Paritaet = all.StopBits = all.Baudrate = all.Handshake = true;
    all.RXTimeOut = all.TXTimeOut = all.KeinNullZeichen = all.KeinString = true;
    return all;
  }

  const int devices_[2] = {0, 2};
  Model model_{1, devices_, 2};
  serial::V24ParameterTag record_{};
  serial::V24ParameterTag before_{};
  std::unique_ptr<TV24_Dialog> dialog_;
};

TEST_F(V24DialogTest, ShowsTheRecordAndOkStoresTheEditedFields) {
  Show(AllEnabled());
  EXPECT_EQ(dialog_->windowTitle(), "Settings");
  EXPECT_EQ(dialog_->Combo(Model::kSchnittstelle)->currentText(), "COM3");
  EXPECT_EQ(dialog_->Combo(Model::kBaudrate)->currentText(), "4800");

  dialog_->Combo(Model::kBaudrate)->setCurrentIndex(4);  // 19200
  dialog_->Combo(Model::kParitaet)->setCurrentIndex(2);
  dialog_->Combo(Model::kHandshake)->setCurrentIndex(3);
  dialog_->Combo(Model::kRXTimeout)->setEditText("250");
  dialog_->Combo(Model::kNullZeichen)->setCurrentIndex(1);
  dialog_->Combo(Model::kSchnittstelle)->setCurrentIndex(0);
  dialog_->NotificationEdit()->setText("40");
  Click("V24_Adjust_okay");

  EXPECT_EQ(dialog_->result(), QDialog::Accepted);
  EXPECT_EQ(model_.ModalResult(), Model::kOk);
  EXPECT_EQ(record_.Baudrate, serial::B_19200);
  EXPECT_EQ(record_.Paritaet, serial::Even);
  EXPECT_EQ(record_.Handshake, serial::Vorlo_XonXoff);
  EXPECT_EQ(record_.RXTimeOut, 250);
  EXPECT_TRUE(record_.KeinNullZeichen);
  EXPECT_EQ(record_.Schnittstelle, 0);
  EXPECT_EQ(record_.RXNotification, 40u);
}

TEST_F(V24DialogTest, NonNumericTextKeepsTheDialogOpenAndStoresNothing) {
  Show(AllEnabled());
  dialog_->Combo(Model::kTXTimeout)->setEditText("1s");
  dialog_->Combo(Model::kBaudrate)->setCurrentIndex(0);
  Click("V24_Adjust_okay");
  EXPECT_NE(dialog_->result(), QDialog::Accepted);
  EXPECT_FALSE(dialog_->ErrorLabel()->isHidden());
  EXPECT_EQ(record_, before_);
}

TEST_F(V24DialogTest, CancelChangesNothing) {
  Show(AllEnabled());
  dialog_->Combo(Model::kBaudrate)->setCurrentIndex(0);
  Click("V24_Adjust_cancel");
  EXPECT_EQ(dialog_->result(), QDialog::Rejected);
  EXPECT_EQ(model_.ModalResult(), Model::kCancel);
  EXPECT_EQ(record_, before_);
}

// After construction no flag is set: only the notification delay can be edited.
TEST_F(V24DialogTest, WithoutFlagsOnlyTheNotificationDelayIsEditable) {
  Show(serial::TDlgParameter{});
  for (int i = 0; i < Model::kFieldCount; ++i) {
    if (i == Model::kNotification) continue;
    EXPECT_FALSE(dialog_->Combo(static_cast<Model::Field>(i))->isEnabled()) << i;
  }
  EXPECT_TRUE(dialog_->NotificationEdit()->isEnabled());
  dialog_->NotificationEdit()->setText("5");
  Click("V24_Adjust_okay");
  serial::V24ParameterTag expected = before_;
  expected.RXNotification = 5;
  EXPECT_EQ(record_, expected);
}

}  // namespace
}  // namespace ui_qt
