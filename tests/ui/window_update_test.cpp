// The window against the simulated instrument: OK, clicked on a copy of the
// msp430-classic sample installation, runs in Qt's event loop as in the
// program; the window shows the run and the simulator's dump shows what
// reached the instrument.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../updater/simulator_process.h"
#include "../updater/temp_installation.h"
#include "loaders/back_ends.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_message_loop.h"
#include "updater/update_form.h"
#include "updater/workflow/workflow.h"

namespace ui_qt {
namespace {

using updater::IdentityField;
using updater::RunOutcome;

// Protocol waits run 20 times faster; set before the clock is first used.
const bool kFastClock = ::setenv("UPDATER_TIME_SCALE", "20", 1) == 0;
constexpr int kRunLimitMs = 60000;
constexpr int kEndCheckMs = 50;

class WindowUpdateTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static const loaders::LoaderRegistry backEnds = loaders::ProgramBackEnds();
    updater::SetWorkflowMaker(updater::WorkflowWith(backEnds));
  }

  void TearDown() override {
    if (window_) window_->AttachForm(nullptr);
    form_.reset();
    window_.reset();
    loop_.Shutdown();
    ::unsetenv("UPDATER_PORTS");
  }

  // Starts the simulator with `version` in its flash, opens the window on its
  // port and clicks OK; returns once the run has ended and the logic is back
  // in the window's loop (or after the limit). Message boxes are answered
  // with `answer` (OK where there is no choice) and recorded.
  void RunUpdate(const std::string& version, QMessageBox::StandardButton answer) {
    std::filesystem::copy(EXAMPLES_DIR "/msp430-classic", installation_.Path(),
                          std::filesystem::copy_options::recursive);
    sim_ = std::make_unique<updater::testing::Simulator>(dump_.Path(), std::vector<std::string>{"version=" + version});
    ASSERT_FALSE(sim_->Pty().empty());
    ::setenv("UPDATER_PORTS", sim_->Pty().c_str(), 1);

    window_ = std::make_unique<TQtUpdateWindow>(loop_, installation_.Path());
    form_ = std::make_unique<updater::TUpdateForm>(
        loop_, *window_, updater::Installation{installation_.Path(), installation_.Path()});
    window_->AttachForm(form_.get());
    window_->SetMessageBoxObserver([this, answer](QMessageBox& box) {
      boxes_.push_back(box.windowTitle() + "|" + box.text());
      QAbstractButton* button = box.button(answer);
      (button != nullptr ? button : box.button(QMessageBox::Ok))->click();
    });
    // What the window showed while the flash was being programmed.
    QObject::connect(qApp, &QGuiApplication::applicationDisplayNameChanged, window_.get(), [this] {
      if (!titleWhileProgramming_.isEmpty() || !QGuiApplication::applicationDisplayName().contains('%')) return;
      titleWhileProgramming_ = QGuiApplication::applicationDisplayName();
      versionWhileProgramming_ = window_->IdentityText(IdentityField::Version);
    });
    // The window stays unshown: painting it hands image work to Qt's own
    // thread pool, whose locking the thread sanitizer cannot see inside the
    // uninstrumented Qt libraries. What the run shows is read off the widgets.
    ASSERT_TRUE(form_->Start());

    QEventLoop run;
    QTimer endCheck;
    QObject::connect(&endCheck, &QTimer::timeout, &run, [&] {
      if (form_->Outcome() != RunOutcome::None && !loop_.Busy()) run.quit();
    });
    endCheck.start(kEndCheckMs);
    QTimer::singleShot(kRunLimitMs, &run, &QEventLoop::quit);
    QTimer::singleShot(0, window_.get(), [this] { QTest::mouseClick(window_->OkButton(), Qt::LeftButton); });
    run.exec();
  }

  // The simulator writes its dump after it has handled a command, which may be
  // after the run has ended: wait (bounded) for `text` to appear in it.
  std::string DumpShowing(const std::string& text) {
    std::string state;
    for (int i = 0; i < 60; ++i) {
      state = dump_.Read("state.json");
      if (state.find(text) != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return state;
  }

  updater::testing::TempInstallation installation_;
  updater::testing::TempInstallation dump_;
  std::unique_ptr<updater::testing::Simulator> sim_;
  QtMessageLoop loop_;
  std::unique_ptr<TQtUpdateWindow> window_;
  std::unique_ptr<updater::TUpdateForm> form_;
  std::vector<QString> boxes_;
  QString titleWhileProgramming_;
  QString versionWhileProgramming_;
};

TEST_F(WindowUpdateTest, OkProgramsAnOlderInstrumentAndTheWindowShowsTheRun) {
  RunUpdate("1.10", QMessageBox::No);
  ASSERT_EQ(form_->Outcome(), RunOutcome::Succeeded) << window_->LogText().toStdString();

  const QString log = window_->LogText();
  EXPECT_TRUE(log.contains("Download successfully completed !")) << log.toStdString();
  EXPECT_TRUE(log.contains("Disconnect the Meter C1 from the COM 1 port.")) << log.toStdString();
  EXPECT_TRUE(boxes_.empty()) << boxes_.front().toStdString();

  EXPECT_EQ(window_->IdentityText(IdentityField::Name), "28101.000  [Meter C1]");
  EXPECT_EQ(window_->IdentityText(IdentityField::Serial), "14120331");
  EXPECT_EQ(window_->IdentityText(IdentityField::Pcb), "28101.123");
  EXPECT_EQ(versionWhileProgramming_, "1.10");
  EXPECT_EQ(window_->IdentityText(IdentityField::Version), "1.20");

  EXPECT_TRUE(titleWhileProgramming_.startsWith("Update [ ")) << titleWhileProgramming_.toStdString();
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Update [ready]");
  EXPECT_EQ(window_->StatusPanelText(1), "Com1");
  EXPECT_EQ(window_->StatusPanelText(3), "Version 1.20");
  EXPECT_EQ(window_->StatusPanelText(4), "Update [ready]");
  EXPECT_FALSE(window_->OkButton()->isEnabled());

  const std::string state = DumpShowing("\"firmware_version\": \"1.20\"");
  EXPECT_NE(state.find("\"firmware_version\": \"1.20\""), std::string::npos) << state;
}

TEST_F(WindowUpdateTest, SameVersionAnsweredNoLeavesTheInstrumentAsItWas) {
  RunUpdate("1.20", QMessageBox::No);
  ASSERT_EQ(form_->Outcome(), RunOutcome::NotProgrammed) << window_->LogText().toStdString();

  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0],
            "Info|The latest software version1.20 is already in device.\n"
            "Do you want to continue the download nevertheless?");
  EXPECT_FALSE(window_->LogText().contains("Download successfully completed !"));
  // The instrument is let go: its identity leaves the window, OK may start again.
  EXPECT_EQ(window_->IdentityText(IdentityField::Name), "");
  EXPECT_TRUE(window_->OkButton()->isEnabled());
  // The instrument was told to resume its measuring, not to start its loader.
  const std::string state = DumpShowing("\"A.1121\"");
  EXPECT_NE(state.find("\"A.4001\", \"A.1121\"]"), std::string::npos) << state;
}

}  // namespace
}  // namespace ui_qt
