// Start-up, closing and the window's own handlers, with a scripted view and
// no serial port.
#include <gtest/gtest.h>

#include <cstdlib>

#include "installation_fixture.h"
#include "platform/plain_message_loop.h"
#include "scripted_view.h"
#include "updater/update_form.h"

namespace updater {
namespace {

// Protocol waits run 20 times faster; set before the clock is first used.
const bool kFastClock = ::setenv("UPDATER_TIME_SCALE", "20", 1) == 0;

using testing::InstallationFixture;

class UpdateFormTest : public ::testing::Test {
 protected:
  // No port exists, so the tests never touch the machine's serial devices.
  void SetUp() override { ::setenv("UPDATER_PORTS", "/nonexistent/updater-test-port", 1); }
  void TearDown() override {
    ::unsetenv("UPDATER_PORTS");
    ::unsetenv("ProgramFiles");
    ::unsetenv("PUBLIC");
  }

  std::unique_ptr<TUpdateForm> Start(const InstallationFixture& installation) {
    auto form = std::make_unique<TUpdateForm>(loop_, view_, installation.Paths());
    started_ = form->Start();
    return form;
  }

  platform::PlainMessageLoop loop_;
  testing::ScriptedView view_;
  bool started_ = false;
};

TEST_F(UpdateFormTest, MissingConfigurationEndsTheProgramWithItsMessage) {
  InstallationFixture noUpdateIni("");
  auto form = Start(noUpdateIni);
  EXPECT_FALSE(started_);
  EXPECT_TRUE(view_.Called("box Error: Konfigurationsdatei 1 nicht vorhanden!!Programm wird beendet"));
  EXPECT_TRUE(form->Closed());
  EXPECT_TRUE(view_.closed);

  InstallationFixture noProgDevice;
  std::filesystem::remove(noProgDevice.dir / "ProgDevice.ini");
  view_ = {};
  auto second = Start(noProgDevice);
  EXPECT_FALSE(started_);
  EXPECT_TRUE(view_.Called("box Error: Konfigurationsdatei 2 nicht vorhanden!!Programm wird beendet"));
  EXPECT_FALSE(view_.Called("translate"));
}

TEST_F(UpdateFormTest, StartUpShowsTheStartTextAndTheCatalogueMenus) {
  InstallationFixture installation;
  installation.dir.Write("Update.ini", "Language=0\nVersion=1.2\n");  // LF line ends are fine too
  auto form = Start(installation);
  ASSERT_TRUE(started_);
  ASSERT_GE(view_.log.size(), 2u);
  EXPECT_EQ(view_.log[0], "Bitte Ger\xE4t einschalten und OK dr\xFC" "cken.");
  EXPECT_TRUE(view_.Called("translate: Update.Deu"));
  EXPECT_TRUE(view_.checked[MenuItem::Deutsch]);
  EXPECT_TRUE(view_.visible[MenuItem::Programming]);
  EXPECT_TRUE(view_.enabled[MenuItem::Multi77x]);
  EXPECT_FALSE(view_.enabled[MenuItem::PH77x]);
  EXPECT_TRUE(view_.Called("download list: MULTI"));
  EXPECT_EQ(view_.progressMax, 40);
  EXPECT_TRUE(form->Catalogue().Contains("MULTI.MOT"));
  // No usable port: said clearly, and the table stays empty.
  EXPECT_EQ(view_.log[1].rfind("Keine nutzbare serielle Schnittstelle gefunden!", 0), 0u);
  EXPECT_EQ(form->Ports().Count(), 0);
  EXPECT_EQ(form->FoundPort(), -1);
  EXPECT_TRUE(form->VersionCheck());

  form->Close();
  EXPECT_TRUE(view_.Called("stop panel on"));
  EXPECT_TRUE(view_.closed);
}

TEST_F(UpdateFormTest, UnusableSettingsAreLoggedAndFallBack) {
  InstallationFixture installation("Language=x\r\nBaud=3,11\r\n");
  auto form = Start(installation);
  ASSERT_TRUE(started_);
  EXPECT_EQ(form->Language(), kGerman);
  EXPECT_TRUE(view_.Called("log: Update.ini: unbekannte Sprache"));
  EXPECT_TRUE(view_.Called("log: Update.ini: ung\xFCltiger Baud-Code 11"));
}

TEST_F(UpdateFormTest, LanguageChangeRewritesUpdateIniInThePublicMirror) {
  InstallationFixture installation("; comment\r\n[Update]\r\nLanguage=0\r\nVersion=1.2\r\nBaud=3\r\n");
  ::setenv("ProgramFiles", installation.dir.Path().c_str(), 1);
  ::setenv("PUBLIC", (installation.dir / "public").c_str(), 1);
  const Installation paths{installation.dir / "app", installation.dir / "app"};
  installation.dir.Write("app/Update.ini", installation.dir.Read("Update.ini"));
  installation.dir.Write("app/ProgDevice.ini", testing::kProgDevice);
  TUpdateForm form(loop_, view_, paths);
  ASSERT_TRUE(form.Start());  // the mirror has no Update.ini yet: read next to the program

  form.LanguageClick(kEnglish);
  EXPECT_EQ(installation.dir.Read("public/app/Update.ini"), "Language=1\r\nVersion=1.2\r\nBaud=3\r\nCom=\r\n");
  EXPECT_EQ(installation.dir.Read("app/Update.ini").find("; comment"), 0u);  // the original stays
  EXPECT_TRUE(view_.checked[MenuItem::Englisch]);
  EXPECT_TRUE(view_.Called("translate: Update.Eng"));
  EXPECT_EQ(view_.log, (std::vector<std::string>{"Switch the device on and press OK."}));
}

TEST_F(UpdateFormTest, HiddenKeysToggleDebugModeAndVersionCheck) {
  InstallationFixture installation;
  auto form = Start(installation);
  form->FormKeyUp(HiddenKey::ToggleDebug);
  EXPECT_TRUE(form->Output().DebugMode());
  EXPECT_TRUE(view_.Called("info shown: Debug-Mode"));
  form->FormKeyUp(HiddenKey::ToggleVersionCheck);
  EXPECT_FALSE(form->VersionCheck());
  EXPECT_TRUE(view_.Called("info shown: Software Vers. ignorieren"));
  form->FormKeyUp(HiddenKey::ToggleVersionCheck);
  EXPECT_TRUE(form->VersionCheck());
  EXPECT_TRUE(view_.Called("info hidden: Software Vers. ignorieren"));
}

TEST_F(UpdateFormTest, ReadmeByLanguageAndFamily) {
  InstallationFixture installation("Language=1\r\n");
  auto form = Start(installation);
  form->ReadmeClick();
  EXPECT_TRUE(view_.Called("open document: " + (installation.dir / "Firmwareupdate_meters.pdf")));

  form->Profiles().StartCmdIndex = 2;
  view_.documentOpens = false;
  form->ReadmeClick();
  EXPECT_TRUE(
      view_.Called("open document: " + (installation.dir / "Readme_Firmware-Update_NXS_Sensors_KVB-M_DE.pdf")));
  EXPECT_TRUE(view_.Called("message: Programm konnte nicht gestartet werden!"));
}

TEST_F(UpdateFormTest, VersionBox) {
  InstallationFixture installation;
  auto form = Start(installation);
  form->SWVersionClick();
  EXPECT_TRUE(view_.Called("box Info:      Version 1.2" + std::string(27, ' ')));
}

TEST_F(UpdateFormTest, OkDisablesTheLanguageMenuForGood) {
  InstallationFixture installation;
  auto form = Start(installation);
  form->OkBitBtnClick();
  EXPECT_FALSE(view_.enabled[MenuItem::Language]);
}

}  // namespace
}  // namespace updater
