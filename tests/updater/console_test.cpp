// The console front end: command line, terminal output and a whole session
// against a pseudo-terminal playing the instrument.
#include <gtest/gtest.h>

#include <cstdlib>

#include <sstream>

#include "installation_fixture.h"
#include "pty_pair.h"
#include "temp_installation.h"
#include "ui/console/console_app.h"
#include "ui/console/console_options.h"
#include "ui/console/console_view.h"

namespace console {
namespace {

// Protocol waits run 20 times faster; set before the clock is first used.
const bool kFastClock = ::setenv("UPDATER_TIME_SCALE", "20", 1) == 0;

using updater::testing::InstallationFixture;
using updater::testing::PtyPairs;

ParsedCommandLine Parse(std::vector<std::string> args) { return ParseCommandLine(args); }

TEST(ConsoleOptions, ValidCommandLines) {
  ParsedCommandLine p =
      Parse({"--console", "--dir", "examples/x", "--ports=/dev/pts/3,/dev/pts/4:/dev/pts/5", "--no", "--debug",
             "--no-version-check", "--model", "2"});
  ASSERT_EQ(p.error, "");
  EXPECT_TRUE(p.options.console);
  EXPECT_EQ(p.options.dir, "examples/x");
  EXPECT_EQ(p.options.ports, (std::vector<std::string>{"/dev/pts/3", "/dev/pts/4", "/dev/pts/5"}));
  EXPECT_EQ(p.options.answers, Answers::No);
  EXPECT_TRUE(p.options.debug && p.options.noVersionCheck);
  EXPECT_EQ(p.options.model, 2);
  EXPECT_TRUE(Parse({"--console", "--lab", "--yes"}).options.lab);
  // The identification and the log are console runs without saying so.
  p = Parse({"--identify", "--log=run.log"});
  ASSERT_EQ(p.error, "");
  EXPECT_TRUE(p.options.identify && p.options.console);
  EXPECT_EQ(p.options.logFile, "run.log");
  EXPECT_TRUE(Parse({"--list-ports"}).options.listPorts);
}

TEST(ConsoleOptions, UsageErrors) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--model", "4"},
                                             {"--model"},
                                             {"--model", "x"},
                                             {"--lab", "--model", "1"},
                                             {"--bogus"},
                                             {"--ports", ","},
                                             {"--debug=1"},
                                             {"--dir="},
                                             {"--identify", "--lab"},
                                             {"--identify", "--model", "0"},
                                             {"--log"},
                                             {"--log="}}) {
    EXPECT_NE(Parse(args).error, "") << args[0];
  }
}

TEST(ConsoleOptions, HelpNamesEveryExitCode) {
  const std::string help = HelpText();
  for (const char* text :
       {"0  the update finished", "1  programming failed", "2  not programmed", "3  no instrument",
        "4  configuration error", "5  usage error", "--ports", "--model N",
        "instrument-updater --identify ", "instrument-updater --console --log ",
        "instrument-updater --list-ports"}) {
    EXPECT_NE(help.find(text), std::string::npos) << text;
  }
}

TEST(ConsoleOptions, ExitCodeOfEachOutcome) {
  EXPECT_EQ(ExitCodeOf(updater::RunOutcome::Succeeded), kExitSuccess);
  EXPECT_EQ(ExitCodeOf(updater::RunOutcome::Failed), kExitFailed);
  EXPECT_EQ(ExitCodeOf(updater::RunOutcome::NotProgrammed), kExitNotProgrammed);
  EXPECT_EQ(ExitCodeOf(updater::RunOutcome::NotFound), kExitNotFound);
  EXPECT_EQ(ExitCodeOf(updater::RunOutcome::None), kExitFailed);
  EXPECT_EQ(ExitCodeOf(updater::RunOutcome::Identified), kExitSuccess);
}

class ConsoleViewTest : public ::testing::Test {
 protected:
  ConsoleView View(Answers answers, bool terminal) {
    return ConsoleView({out_, in_, terminal, terminal}, answers);
  }
  std::ostringstream out_;
  std::istringstream in_;
};

TEST_F(ConsoleViewTest, QuestionsFollowThePresetOrTheTerminal) {
  using updater::BoxAnswer;
  using updater::BoxButtons;
  using updater::BoxIcon;
  EXPECT_EQ(View(Answers::Yes, false).MessageBox("Q?", "Info", BoxIcon::Question, BoxButtons::YesNo), BoxAnswer::Yes);
  EXPECT_EQ(View(Answers::Ask, false).MessageBox("Q?", "Info", BoxIcon::Question, BoxButtons::YesNo), BoxAnswer::No);
  in_.str("j\n");
  EXPECT_EQ(View(Answers::Ask, true).MessageBox("Q?", "Info", BoxIcon::Question, BoxButtons::YesNo), BoxAnswer::Yes);
  EXPECT_EQ(View(Answers::Yes, false).MessageBox("Done", "Info", BoxIcon::Information, BoxButtons::Ok), BoxAnswer::Ok);
  EXPECT_NE(out_.str().find("[Info] Q?\n"), std::string::npos);
  EXPECT_FALSE(View(Answers::Yes, false).AskOnTerminal("Again?"));  // no terminal: no question
}

TEST_F(ConsoleViewTest, LogLinesAreUtf8WithOneLinePerBreak) {
  ConsoleView view = View(Answers::Ask, false);
  view.AddLogLine("Ger\xE4t\r\nzweite\rdritte");
  EXPECT_EQ(out_.str(), "Ger\xC3\xA4t\nzweite\ndritte\n");
}

TEST_F(ConsoleViewTest, ProgressWithoutTerminalIsPlainLinesNowAndThen) {
  ConsoleView view = View(Answers::Ask, false);
  for (int i = 0; i < 50; ++i) view.SetStatusPanel(4, "Flash " + std::to_string(i) + ".0 %");
  EXPECT_EQ(out_.str(), "Flash 0.0 %\n");  // the next one only seconds later
}

TEST_F(ConsoleViewTest, ProgressOnATerminalIsOneLineRewritten) {
  ConsoleView view = View(Answers::Ask, true);
  view.SetStatusPanel(4, "Flash 1.0 %");
  view.SetStatusPanel(4, "Flash 2.0 %");
  view.AddLogLine("line");
  EXPECT_EQ(out_.str(), "\r\033[KFlash 1.0 %\r\033[K\r\033[KFlash 2.0 %\r\033[Kline\n\r\033[KFlash 2.0 %");
}

TEST_F(ConsoleViewTest, IdentityLabelsComeFromTheDialogTextFileOfTheLanguage) {
  updater::testing::TempInstallation dir;
  dir.Write("Update.Eng", "[SerLabel]=Serial number:\r\n[PCBLabel]=Platin\xE9:\r\n");
  ConsoleView view({out_, in_, false, false}, Answers::No, dir.Path());
  view.SetIdentityField(updater::IdentityField::Serial, "1");
  view.Translate("Update.Eng");
  view.SetIdentityField(updater::IdentityField::Serial, "2");
  view.SetIdentityField(updater::IdentityField::Pcb, "3");
  view.SetIdentityField(updater::IdentityField::Version, "4");
  view.Translate("Update.Deu");  // missing: the captions stay as they are
  view.SetIdentityField(updater::IdentityField::Serial, "5");
  EXPECT_EQ(out_.str(), "Seriennummer: 1\nSerial number: 2\nPlatin\u00e9: 3\nVersion: 4\nSeriennummer: 5\n");
}

TEST(ConsoleSession, StartsUpOpensThePortAndWritesTheIdentifyCommand) {
  PtyPairs ptys(1);
  InstallationFixture installation;
  std::ostringstream out;
  std::istringstream in;
  ConsoleOptions options;
  options.console = true;
  const int code = RunConsole(options, installation.Paths(), {out, in, false, false});
  EXPECT_EQ(ptys.Received(0, 12).substr(0, 12), "\r\n\r\nA.1111\r\n");
  EXPECT_NE(out.str().find("Bitte Ger\xC3\xA4t einschalten und OK dr\xC3\xBC" "cken.\n"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("Schnittstellen: COM1 (/dev/pts/"), std::string::npos) << out.str();
  // Nobody answers on the port.
  EXPECT_EQ(code, kExitNotFound);
}

TEST(ConsoleSession, MissingProgDeviceIniIsAConfigurationError) {
  PtyPairs ptys(1);
  InstallationFixture installation;
  std::filesystem::remove(installation.dir / "ProgDevice.ini");
  std::ostringstream out;
  std::istringstream in;
  EXPECT_EQ(RunConsole({}, installation.Paths(), {out, in, false, false}), kExitConfig);
  EXPECT_EQ(out.str(), "[Error] Konfigurationsdatei 2 nicht vorhanden!!Programm wird beendet\n");
}

// An empty or damaged ProgDevice.ini would make every instrument a wrong device.
TEST(ConsoleSession, AProgDeviceIniWithoutADeviceBlockIsAConfigurationErrorThatNamesIt) {
  for (const std::string content : {std::string(), std::string("\x93\x07garbage\r\nno=block\r\n")}) {
    SCOPED_TRACE(content);
    PtyPairs ptys(1);
    InstallationFixture installation("Language=1\r\nVersion=1.2\r\nBaud=\r\nCom=\r\n");
    installation.dir.Write("ProgDevice.ini", content);
    std::ostringstream out;
    std::istringstream in;
    EXPECT_EQ(RunConsole({}, installation.Paths(), {out, in, false, false}), kExitConfig);
    EXPECT_NE(out.str().find(installation.dir / "ProgDevice.ini holds no device block"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(ptys.Received(0, 1, 100), "");
  }
}

TEST(ConsoleSession, AModelWithoutItsFirmwareFileIsAConfigurationError) {
  PtyPairs ptys(1);
  InstallationFixture installation;
  std::ostringstream out;
  std::istringstream in;
  ConsoleOptions options;
  options.model = 1;  // ProgDevice.ini has one profile only
  EXPECT_EQ(RunConsole(options, installation.Paths(), {out, in, false, false}), kExitConfig);
  EXPECT_EQ(ptys.Received(0, 1, 100), "");
}

}  // namespace
}  // namespace console
