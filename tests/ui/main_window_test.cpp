#include "ui/qt/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ui/qt/qt_message_loop.h"
#include "updater/update_form.h"
#include "updater/workflow/workflow.h"

namespace ui_qt {
namespace {

namespace fs = std::filesystem;
using updater::MenuItem;

constexpr const char* kProgDevice =
    "DevStartCmd=1\r\nDeviceNrDef=28101\r\nDeviceNr=28101\r\nDeviceName=Meter C1\r\nProgFile1=\r\n"
    "ProgFile2=MC1.TXT\r\nProgFile3=\r\nSWKenn1=\r\nSWKenn2=@1080\\r\\n\r\nSWKenn3=\r\nBootLoadKenn=\r\n"
    "FlashErase1=\r\nFlashErase2=0xFC00\r\nFlashErase3=\r\nProgDefFile=\r\nProzTyp=F16C\r\n\r\n"
    "StarttextD=Schlie\xDF" "en Sie NAME an und dr\xFC" "cken Sie OK.\r\n"
    "StarttextE=Connect the NAME and press OK.\r\n"
    "AbbruchtextD=Abbruch.\r\nAbbruchtextE=Aborted.\r\n";

// The window on a small installation without instrument ports, German at the
// start; Update.Eng holds English captions, Update.Deu is missing.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("main_window_test_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ::setenv("UPDATER_PORTS", (dir_ / "no-port").c_str(), 1);
    Write("Update.ini", "[Update]\r\n; settings\r\nLanguage=0\r\nVersion=2.50\r\nBaud=3,2\r\nCom=\r\n");
    Write("ProgDevice.ini", kProgDevice);
    Write("Update.Eng",
          "[UpdateForm]=Download :\r\n[UpdateGroupBox]=Device\r\n[NameLabel]=Name:\r\n[SerLabel]=Serial number:\r\n"
          "[OkBitBtn]=OK\r\n[Sprache]=&Language\r\n[Englisch]=&English\r\n[Deutsch]=&German\r\n"
          "[WaitPanel]=Please wait ...\r\n");
    window_ = std::make_unique<TQtUpdateWindow>(loop_, dir_.string());
    form_ = std::make_unique<updater::TUpdateForm>(loop_, *window_, updater::Installation{dir_.string(), dir_.string()});
    window_->AttachForm(form_.get());
    window_->SetMessageBoxObserver([this](QMessageBox& box) {
      boxes_.push_back(box.windowTitle() + "|" + box.text());
      box.button(box.standardButtons() & QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::Ok)->click();
    });
  }
  void TearDown() override {
    window_->AttachForm(nullptr);
    form_.reset();
    window_.reset();
    ::unsetenv("UPDATER_PORTS");
    fs::remove_all(dir_);
  }

  void Write(const std::string& name, const std::string& bytes) { std::ofstream(dir_ / name, std::ios::binary) << bytes; }
  std::string Read(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  QString Caption(const char* name) { return window_->findChild<QLabel*>(name)->text(); }
  void KeyUp(Qt::Key key, Qt::KeyboardModifiers modifiers) { QTest::keyRelease(window_.get(), key, modifiers); }

  fs::path dir_;
  QtMessageLoop loop_;
  std::unique_ptr<TQtUpdateWindow> window_;
  std::unique_ptr<updater::TUpdateForm> form_;
  std::vector<QString> boxes_;
};

TEST_F(MainWindowTest, StartUpShowsTheWindowAndCreatesTheMissingDialogFile) {
  ASSERT_TRUE(form_->Start());
  EXPECT_EQ(window_->windowTitle(), "Download :");
  const std::string log = window_->LogText().toStdString();
  EXPECT_EQ(log.substr(0, log.find('\n')), "Schließen Sie Gerät an und drücken Sie OK.");
  EXPECT_EQ(window_->WaitProgressBar()->maximum(), 40);
  EXPECT_FALSE(window_->MenuAction(MenuItem::Programming)->isVisible());
  EXPECT_TRUE(window_->MenuAction(MenuItem::Deutsch)->isChecked());
  EXPECT_EQ(window_->findChild<QGroupBox*>("UpdateGroupBox")->title(), QString::fromUtf8("Gerät"));

  const std::string created = Read("Update.Deu");
  EXPECT_NE(created.find("[UpdateForm]Download ::=\r\n"), std::string::npos) << created;
  EXPECT_NE(created.find("[UpdateGroupBox]Ger\xE4t:=\r\n[Hint][UpdateGroupBox]:=\r\n"), std::string::npos);
  EXPECT_NE(created.find("[Readme]&Read me ...:=\r\n"), std::string::npos);
  EXPECT_EQ(created.find("[SerStaticText]"), std::string::npos) << "program texts get no entry";
}

TEST_F(MainWindowTest, LanguageSwitchRewritesUpdateIniAndTranslatesTheWindow) {
  ASSERT_TRUE(form_->Start());
  window_->MenuAction(MenuItem::Englisch)->trigger();

  EXPECT_EQ(Read("Update.ini"), "Language=1\r\nVersion=2.50\r\nBaud=3,2\r\nCom=\r\n");
  EXPECT_EQ(window_->findChild<QGroupBox*>("UpdateGroupBox")->title(), "Device");
  EXPECT_EQ(Caption("SerLabel"), "Serial number:");
  EXPECT_EQ(window_->MenuAction(MenuItem::Language)->text(), "&Language");
  EXPECT_EQ(window_->MenuAction(MenuItem::Englisch)->text(), "&English");
  EXPECT_TRUE(window_->MenuAction(MenuItem::Englisch)->isChecked());
  EXPECT_EQ(window_->LogText().toStdString(), "Connect the device and press OK.");

  // Back to German: the file recorded at the start keeps the German captions.
  window_->MenuAction(MenuItem::Deutsch)->trigger();
  EXPECT_EQ(Caption("SerLabel"), "Seriennummer:");
  EXPECT_EQ(window_->MenuAction(MenuItem::Language)->text(), "&Sprache");
}

TEST_F(MainWindowTest, HiddenKeysToggleDebugModeAndTheVersionCheck) {
  ASSERT_TRUE(form_->Start());
  QLabel* info = window_->InfoLabel();

  KeyUp(Qt::Key_F5, Qt::ControlModifier);
  EXPECT_FALSE(info->isHidden());
  EXPECT_EQ(info->text(), "Debug-Mode");
  EXPECT_TRUE(form_->Output().DebugMode());
  KeyUp(Qt::Key_F5, Qt::ControlModifier);
  EXPECT_TRUE(info->isHidden());
  EXPECT_FALSE(form_->Output().DebugMode());

  KeyUp(Qt::Key_F6, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_FALSE(info->isHidden());
  EXPECT_EQ(info->text(), "Software Vers. ignorieren");
  EXPECT_FALSE(form_->VersionCheck());
  KeyUp(Qt::Key_F6, Qt::ControlModifier);  // not the combination
  EXPECT_FALSE(form_->VersionCheck());
  KeyUp(Qt::Key_F6, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_TRUE(info->isHidden());
  EXPECT_TRUE(form_->VersionCheck());
  // Where the desktop takes Ctrl+Alt+F6 for itself, Ctrl+Shift+F6 reaches the window.
  KeyUp(Qt::Key_F6, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_FALSE(form_->VersionCheck());
  KeyUp(Qt::Key_F6, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(form_->VersionCheck());
}

TEST_F(MainWindowTest, VersionBoxAndProgressTitle) {
  ASSERT_TRUE(form_->Start());
  window_->findChild<QAction*>("SWVersion")->trigger();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "Info|     Version 2.50" + QString(27, ' '));

  form_->Output().ReportProgress("Flash", 45.0f);
  EXPECT_EQ(window_->StatusPanelText(4), "Flash 45.0 %");
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Update [ 45.0 %]");
  form_->Output().ReportProgress("", -1000.0f);
  EXPECT_EQ(window_->StatusPanelText(4), "Update [beendet]");
  // The end of a run fits its panel. (Measured on the panel's minimum: a shown
  // window would start Qt's own threads, which the thread sanitizer cannot follow.)
  const auto panels = window_->statusBar()->findChildren<QLabel*>();
  const auto last = std::find_if(panels.begin(), panels.end(), [](QLabel* p) { return p->text() == "Update [beendet]"; });
  ASSERT_NE(last, panels.end());
  EXPECT_GE((*last)->minimumWidth() - 2 * (*last)->frameWidth(),
            (*last)->fontMetrics().horizontalAdvance("Update [beendet]"));
}

// Without a port OK says why at once and can be pressed again; the run log
// of that run is saved from the Help menu.
TEST_F(MainWindowTest, OkWithoutPortEndsAtOnceAndTheRunLogIsSavedFromTheHelpMenu) {
  static const loaders::LoaderRegistry none;
  updater::SetWorkflowMaker(updater::WorkflowWith(none));
  window_->AttachForm(nullptr);
  form_ = std::make_unique<updater::TUpdateForm>(
      loop_, *window_, updater::Installation{dir_.string(), dir_.string()});
  window_->AttachForm(form_.get());
  updater::SetWorkflowMaker(nullptr);
  ASSERT_TRUE(form_->Start());
  window_->findChild<QPushButton*>("OkBitBtn")->click();
  EXPECT_TRUE(window_->findChild<QPushButton*>("OkBitBtn")->isEnabled());
  EXPECT_NE(window_->LogText().toStdString().find("COM1 (" + (dir_ / "no-port").string() +
                                                  "): nicht vorhanden"),
            std::string::npos);
  window_->SetLogFileChooser(
      [this] { return QString::fromStdString((dir_ / "run.log").string()); });
  window_->findChild<QAction*>("SaveRunLog")->trigger();
  EXPECT_NE(Read("run.log").find(" result: no instrument found\n"), std::string::npos)
      << Read("run.log");
}

TEST_F(MainWindowTest, MissingConfigurationShowsTheErrorAndClosesTheWindow) {
  fs::remove(dir_ / "ProgDevice.ini");
  EXPECT_FALSE(form_->Start());
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "Error|Konfigurationsdatei 2 nicht vorhanden!!Programm wird beendet");
  EXPECT_TRUE(window_->WindowClosed());
}

// "Beenden" while the logic is still inside a handler waits until it has
// returned; then the closing runs once.
TEST_F(MainWindowTest, CloseDuringAHandlerRunsWhenTheHandlerHasReturned) {
  ASSERT_TRUE(form_->Start());
  bool closedInside = true;
  window_->SetMessageBoxObserver([&](QMessageBox& box) {
    window_->findChild<QAction*>("UpdateEnd")->trigger();
    closedInside = form_->Closed();
    box.button(QMessageBox::Ok)->click();
  });
  window_->findChild<QAction*>("SWVersion")->trigger();
  EXPECT_FALSE(closedInside);
  EXPECT_TRUE(form_->Closed());
  EXPECT_TRUE(window_->WindowClosed());
}

}  // namespace
}  // namespace ui_qt
