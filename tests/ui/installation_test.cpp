// Finding the installation when the window is started without --dir, the
// window without one, and opening an installation folder from the menu.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <filesystem>
#include <fstream>

#include "ui/qt/installation_memory.h"
#include "ui/qt/installation_search.h"
#include "ui/qt/installation_texts.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_message_loop.h"
#include "updater/update_form.h"

namespace ui_qt {
namespace {

namespace fs = std::filesystem;

class InstallationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("installation_test_" + std::to_string(::getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    EmptyFolders();
    ::setenv("UPDATER_PORTS", (root_ / "no-port").c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("UPDATER_PORTS");
    fs::remove_all(root_);
  }

  void EmptyFolders() {
    fs::remove_all(root_);
    for (const char* folder : {"work", "bin", "last", "other"}) fs::create_directories(root_ / folder);
  }
  std::string Folder(const char* name) const { return (root_ / name).string(); }
  void Write(const char* folder, const char* name, const std::string& bytes = "Language=1\r\n") {
    std::ofstream(root_ / folder / name, std::ios::binary) << bytes;
  }
  void MakeInstallation(const char* folder) {
    Write(folder, "Update.ini");
    // One device block: a profiles file without one stops the start-up.
    Write(folder, "ProgDevice.ini",
          "DevStartCmd=1\r\nDeviceNrDef=28101\r\nDeviceNr=28101\r\nDeviceName=Meter\r\nProgFile1=\r\n"
          "ProgFile2=MC1.TXT\r\nProgFile3=\r\nSWKenn1=\r\nSWKenn2=@1080\r\nSWKenn3=\r\nBootLoadKenn=\r\n");
  }
  InstallationSearch Search() {
    return SearchInstallation(StartCandidates({Folder("work"), Folder("bin")}, Folder("last")));
  }

  fs::path root_;
};

struct SearchCase {
  std::vector<const char*> installations;  // folders that hold both files
  const char* expected;                    // nullptr: none found
  std::size_t lookedIn;
};

TEST_F(InstallationTest, FirstFolderThatHoldsBothFilesIsTheInstallation) {
  const std::vector<SearchCase> cases = {
      {{"work", "bin", "last"}, "work", 1},
      {{"bin", "last"}, "bin", 2},
      {{"last"}, "last", 3},
      {{}, nullptr, 3},
  };
  for (const SearchCase& c : cases) {
    EmptyFolders();
    for (const char* folder : c.installations) MakeInstallation(folder);
    const InstallationSearch search = Search();
    ASSERT_EQ(search.lookedIn.size(), c.lookedIn) << (c.expected ? c.expected : "none");
    if (c.expected == nullptr) {
      EXPECT_FALSE(search.found);
      continue;
    }
    ASSERT_TRUE(search.found);
    // The folder found is both the working and the program folder.
    EXPECT_EQ(search.found->workDir, Folder(c.expected));
    EXPECT_EQ(search.found->programDir, Folder(c.expected));
  }
  EXPECT_EQ(Search().lookedIn[2].role, FolderRole::Remembered);
}

TEST_F(InstallationTest, OnlyBothFilesInAnyLetterCaseMakeAnInstallation) {
  Write("work", "UPDATE.INI");
  Write("work", "progdevice.ini");
  EXPECT_TRUE(HoldsInstallation(Folder("work")));

  Write("bin", "Update.ini");
  EXPECT_FALSE(HoldsInstallation(Folder("bin")));
  fs::create_directories(root_ / "bin" / "ProgDevice.ini");  // a folder of that name
  EXPECT_FALSE(HoldsInstallation(Folder("bin")));
  EXPECT_FALSE(HoldsInstallation(""));
}

TEST_F(InstallationTest, EmptyAndRepeatedCandidatesAreLookedInOnce) {
  const InstallationSearch search = SearchInstallation(StartCandidates({Folder("work"), Folder("work")}, ""));
  ASSERT_EQ(search.lookedIn.size(), 1u);
  EXPECT_EQ(search.lookedIn[0].role, FolderRole::Working);
  EXPECT_FALSE(search.found);
}

TEST_F(InstallationTest, SampleInstallationsAreFoundBesideTheProgramsFolder) {
  EXPECT_EQ(SampleInstallations(Folder("bin")), "");
  fs::create_directories(root_ / "share/doc/instrument-updater/examples");
  EXPECT_EQ(SampleInstallations(Folder("bin")), Folder("share/doc/instrument-updater/examples"));
}

TEST_F(InstallationTest, TheFolderOpenedLastIsRememberedBetweenStarts) {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(Folder("config")));
  EXPECT_EQ(RememberedInstallation(), "");
  RememberInstallation(Folder("last"));
  EXPECT_EQ(RememberedInstallation(), Folder("last"));
  EXPECT_TRUE(fs::exists(root_ / "config/instrument-updater/instrument-updater.conf"));
}

// The window: a stand-in folder dialog answers with `chosen`, boxes are
// recorded and confirmed.
class InstallationWindowTest : public InstallationTest {
 protected:
  void SetUp() override {
    InstallationTest::SetUp();
    window_ = std::make_unique<TQtUpdateWindow>(loop_, std::string());
    window_->SetFolderChooser([this] { return QString::fromStdString(chosen_); });
    window_->SetMessageBoxObserver([this](QMessageBox& box) {
      boxes_.push_back(box.text());
      box.button(QMessageBox::Ok)->click();
    });
  }
  void TearDown() override {
    window_->AttachForm(nullptr);
    form_.reset();
    window_.reset();
    InstallationTest::TearDown();
  }
  QAction* Action(const char* name) { return window_->findChild<QAction*>(name); }
  void OpenFolder(const std::string& folder) {
    chosen_ = folder;
    Action("OpenInstallation")->trigger();
  }

  QtMessageLoop loop_;
  std::unique_ptr<TQtUpdateWindow> window_;
  std::unique_ptr<updater::TUpdateForm> form_;
  std::string chosen_;
  std::vector<QString> boxes_;
};

TEST_F(InstallationWindowTest, WithoutInstallationTheWindowSaysWhereItLookedAndHowToOpenOne) {
  const InstallationSearch search = Search();
  window_->ShowNoInstallation(NoInstallationText(search.lookedIn, Folder("samples")));
  const QString log = window_->LogText();
  for (const char* folder : {"work", "bin", "last", "samples"}) {
    EXPECT_TRUE(log.contains(QString::fromStdString(Folder(folder)))) << folder;
  }
  EXPECT_TRUE(log.contains("Arbeitsordner: ")) << log.toStdString();
  EXPECT_TRUE(log.contains("program folder: "));
  EXPECT_TRUE(log.contains(QString::fromUtf8("Datei / Installationsordner öffnen ...")));
  EXPECT_FALSE(window_->OkButton()->isEnabled());
  for (const char* name : {"LabXXX", "Deutsch", "Readme", "SWVersion"}) EXPECT_FALSE(Action(name)->isEnabled()) << name;
  EXPECT_TRUE(Action("OpenInstallation")->isEnabled());
  EXPECT_TRUE(Action("UpdateEnd")->isEnabled());
}

TEST_F(InstallationWindowTest, AFolderWithoutInstallationIsRefusedAndTheWindowStays) {
  Write("other", "Update.ini");
  OpenFolder(Folder("other"));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_TRUE(boxes_[0].contains(QString::fromStdString(Folder("other"))));
  EXPECT_TRUE(boxes_[0].contains("ProgDevice.ini"));
  EXPECT_FALSE(window_->OpenedInstallation());
  EXPECT_FALSE(window_->WindowClosed());

  OpenFolder("");  // the dialog was cancelled
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_FALSE(window_->WindowClosed());
}

TEST_F(InstallationWindowTest, OpeningAnInstallationClosesTheWindowForIt) {
  MakeInstallation("other");
  OpenFolder(Folder("other"));
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(window_->OpenedInstallation(), Folder("other"));
  EXPECT_TRUE(window_->WindowClosed());
}

// Switching from a running installation to another: the logic closes first
// (its ports are released) before the window goes.
TEST_F(InstallationWindowTest, OpeningAnotherInstallationClosesTheLogicFirst) {
  MakeInstallation("work");
  MakeInstallation("other");
  form_ = std::make_unique<updater::TUpdateForm>(loop_, *window_, updater::Installation{Folder("work"), Folder("work")});
  window_->AttachForm(form_.get());
  ASSERT_TRUE(form_->Start());
  OpenFolder(Folder("other"));
  EXPECT_TRUE(form_->Closed());
  EXPECT_TRUE(window_->WindowClosed());
  EXPECT_EQ(window_->OpenedInstallation(), Folder("other"));
}

}  // namespace
}  // namespace ui_qt
