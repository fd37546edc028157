// The programming paths by FileType and the second component: which loader or
// external handler is asked for, with which arguments, and what the
// instrument receives around it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "loaders/term_prog.h"
#include "run_fixture.h"

namespace updater {
namespace {

using testing::FirmwareScript;
using testing::ProfileSpec;
using testing::ProgramCall;
using testing::RunTest;

std::string Utf16(std::string_view text) {
  std::string out;
  for (char c : text) out += std::string{c, '\0'};
  return out + std::string(2, '\0');
}

std::vector<std::string> After(const std::vector<std::string>& lines, std::size_t skip) {
  return lines.size() > skip ? std::vector<std::string>(lines.begin() + static_cast<long>(skip), lines.end())
                             : std::vector<std::string>{};
}

TEST_F(RunTest, MotFileGoesThroughTheLadderWithFirstFileAndExternalHandler) {
  ProfileSpec profile;
  profile.deviceNr = "28102";
  profile.progFile1 = "FIRST.MOT";
  profile.progFile2 = "MULTI.MOT";
  profile.swKenn2 = "S00F0000";
  Install(profile);
  run_.dir.Write("MULTI.MOT", testing::SRecordImage("1.20"));
  run_.dir.Write("FIRST.MOT", testing::SRecordImage("0.00"));
  run_.loaders.onExternal = [this](loaders::ExternalHandler, const std::string&) {
    run_.instruments[0].Send("!\r\n");  // the instrument restarts and acknowledges
    return 0;
  };
  FirmwareScript script;
  script.device = "28102.000";
  run_.Answer(script);
  run_.Start();
  run_.PressOk();
  ASSERT_TRUE(run_.RunUntilOutcome(RunOutcome::Succeeded));
  ASSERT_TRUE(run_.RunUntil([&] { return run_.instruments[0].Lines().size() >= 10; }));

  const std::vector<std::pair<loaders::ExternalHandler, std::string>> externals = {{loaders::ExternalHandler::HexLoad, "FIRST.MOT"},
                                                                          {loaders::ExternalHandler::HexLoad, "MULTI.MOT"}};
  EXPECT_EQ(run_.loaders.externals, externals);
  const std::vector<std::string> tail = After(run_.instruments[0].Lines(), 6);
  ASSERT_EQ(tail.size(), 4u);
  EXPECT_EQ(tail[0], "A.1200");  // entry command, then the first file
  EXPECT_EQ(tail[1], "A.1200");  // entry again for the main file
  EXPECT_EQ(tail[2].rfind("A.1600#", 0), 0u);  // stored: the clock in seconds
  EXPECT_EQ(tail[2].find('.', 7), std::string::npos);
  EXPECT_EQ(tail[3], "A.1111");
  EXPECT_TRUE(run_.view.Called("log: Programming Multi 770 !!"));
}

// The new firmware's one acknowledgement of its start went unheard: an outside
// programmer still held the port, or the line garbled it. The run asks whether
// the instrument is there and goes on with its answer, or fails cleanly when
// none comes.
struct UnheardCase {
  const char* name;
  bool outsideTool;  ///< a .HEX file through the outside tool, else TI-TXT through the boot loader
  bool answersAfterProgramming;
  RunOutcome outcome;
};

class UnheardAcknowledgement : public RunTest, public ::testing::WithParamInterface<UnheardCase> {};

TEST_P(UnheardAcknowledgement, TheRunAsksOnceTheFirmwareHadTimeToStart) {
  ProfileSpec profile;
  if (GetParam().outsideTool) {
    profile.progFile2 = "P32FW.HEX";
    profile.swKenn2 = ":10400000";
    profile.prozTyp = "0";
  }
  Install(profile);
  if (GetParam().outsideTool) {
    run_.dir.Write("P32FW.HEX", ":10400000312E323000FFFFFFFFFFFFFFFFFFFFFFFA\r\n:00000001FF\r\n");
  }
  auto programmed = std::make_shared<std::atomic<bool>>(false);
  const FirmwareScript script;
  const bool answers = GetParam().answersAfterProgramming;
  run_.instruments[0].onLine = [script, programmed, answers](const std::string& line) {
    return *programmed && !answers ? std::string() : script.Answer(line);
  };
  // The firmware's acknowledgement went to the tool, or was garbled.
  run_.loaders.onExternal = [programmed](loaders::ExternalHandler, const std::string&) {
    *programmed = true;
    return 0;
  };
  run_.loaders.onProgram = [programmed](const ProgramCall&) {
    *programmed = true;
    return 1;
  };
  run_.Start();
  run_.PressOk();
  ASSERT_TRUE(run_.RunUntilOutcome(GetParam().outcome, 120000));
  const std::vector<std::string> lines = run_.instruments[0].Lines();
  const auto identified = std::find(lines.begin(), lines.end(), "A.4001");
  ASSERT_NE(identified, lines.end());
  // Asked once, after the entry command at most (the success path's own
  // commands follow the answer).
  const auto asked = std::find(identified, lines.end(), "A.1000");
  ASSERT_NE(asked, lines.end());
  for (auto line = identified + 1; line != asked; ++line) EXPECT_EQ(*line, "A.1200");
  EXPECT_EQ(std::count(asked + 1, lines.end(), "A.1000"), answers ? 1 : 0);  // the finish asks once more
  EXPECT_EQ(run_.view.Called("log: The instrument does not report after programming."), !answers);
}

INSTANTIATE_TEST_SUITE_P(Firmware, UnheardAcknowledgement,
                         ::testing::Values(UnheardCase{"ToolAnswers", true, true, RunOutcome::Succeeded},
                                           UnheardCase{"ToolStaysSilent", true, false, RunOutcome::Failed},
                                           UnheardCase{"BootLoaderAnswers", false, true, RunOutcome::Succeeded},
                                           UnheardCase{"BootLoaderStaysSilent", false, false, RunOutcome::Failed}),
                         [](const ::testing::TestParamInfo<UnheardCase>& info) { return info.param.name; });

TEST_F(RunTest, StartCmdIndex1SearchesWithA1000AndAsksA2003AtOnce) {
  ProfileSpec profile;
  profile.devStartCmd = "2";
  FirmwareScript script;
  script.version = "1.20";
  StartRun(script, profile);
  ASSERT_TRUE(run_.RunUntilOutcome(RunOutcome::NotProgrammed));
  const std::vector<std::string> lines = run_.instruments[0].Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "A.1000");
  EXPECT_EQ(lines[1], "A.2003");
}

class ProzTypTest : public RunTest, public ::testing::WithParamInterface<std::pair<const char*, loaders::LoaderKind>> {};

TEST_P(ProzTypTest, TheProcessorTypeChoosesTheBootLoader) {
  ProfileSpec profile;
  profile.prozTyp = GetParam().first;
  StartRun(FirmwareScript{}, profile);
  ASSERT_TRUE(run_.RunUntil([&] { return !run_.loaders.programs.empty(); }));
  EXPECT_EQ(run_.loaders.programs[0].kind, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Types, ProzTypTest,
                         ::testing::Values(std::pair{"149", loaders::LoaderKind::Bsl430},
                                           std::pair{"5438", loaders::LoaderKind::Bsl54xx430}));

TEST_F(RunTest, BinImageGoesToTheEmfLoader) {
  ProfileSpec profile;
  profile.progFile2 = "IMAGE.BIN";
  profile.swKenn2 = "VER";
  Install(profile);
  run_.dir.Write("IMAGE.BIN", std::string("\x00\x01VER:1.20\x00\xFF", 12));
  run_.Answer(FirmwareScript{});
  run_.Start();
  run_.PressOk();
  ASSERT_TRUE(run_.RunUntil([&] { return !run_.loaders.programs.empty(); }));
  const ProgramCall& call = run_.loaders.programs[0];
  EXPECT_EQ(call.kind, loaders::LoaderKind::Emf);
  EXPECT_EQ(call.component, 0);
  EXPECT_EQ(call.file, "IMAGE.BIN");
  EXPECT_FALSE(call.force);
  EXPECT_TRUE(run_.Logged("The download may last up to 15 minutes !"));
}

TEST_F(RunTest, WinCEInstrumentLeavesOutTheStartupProgramItAlreadyHas) {
  ProfileSpec profile;
  profile.progFile2 = "MAIN.EXE,NOTES.EXE,TARVOSTARTUP.EXE,HELPER.DLL,DATA.BIN";
  profile.swKenn2 = "FileVersion";
  Install(profile);
  run_.dir.Write("MAIN.EXE", Utf16("FileVersion 1.20"));
  run_.dir.Write("NOTES.EXE", Utf16("FileVersion 1.00"));
  run_.dir.Write("TARVOSTARTUP.EXE", Utf16("FileVersion 2.00"));
  run_.dir.Write("HELPER.DLL", Utf16("nothing"));
  run_.dir.Write("DATA.BIN", "settings");
  FirmwareScript script;
  script.extra = {{"A.2100", "I.2011#2.00\r\n"}};
  run_.Answer(script);
  std::vector<std::string> extrasAtProgramming;
  run_.loaders.onProgram = [&](const ProgramCall&) {
    const DeviceRecord& record = run_.form->Record();
    for (std::int32_t i = 0; i < record.ExtraFileCount; ++i) extrasAtProgramming.emplace_back(record.ExtraFiles[i].view());
    return 1;
  };
  run_.Start();
  run_.PressOk();
  ASSERT_TRUE(run_.RunUntil([&] { return !run_.loaders.programs.empty(); }));
  ASSERT_TRUE(run_.RunUntil([&] { return run_.instruments[0].Lines().back().rfind("A.1600#", 0) == 0; }));

  EXPECT_TRUE(run_.Received(0, "A.2100"));
  EXPECT_EQ(run_.form->Record().ThirdVersion, 2000);
  EXPECT_EQ(run_.form->Record().ThirdOfferedVersion, 2000);
  const ProgramCall& call = run_.loaders.programs[0];
  EXPECT_EQ(call.kind, loaders::LoaderKind::WinCE);
  EXPECT_EQ(call.component, 0);
  EXPECT_EQ(call.file, "MAIN.EXE");
  EXPECT_EQ(extrasAtProgramming, (std::vector<std::string>{"NOTES.EXE", "DATA.BIN"}));
  const std::string clock = run_.instruments[0].Lines().back();
  EXPECT_EQ(clock.size(), std::string("A.1600#46000.123456").size());  // the day form, six decimals
  EXPECT_EQ(run_.form->Record().ExtraFileCount, 0);
}

struct SecondCase {
  const char* name;
  const char* file;        // ProgFile3: a sensor's TI-TXT or a terminal's S-records
  const char* instrument;  // the answer to A.2001
  bool ownUpdate;  // the instrument updates its sensor itself ("A.2005")
  /// For a terminal: reply 208, and the file its Basic-Loader then gets.
  const char* reply208 = nullptr;
  const char* terminalFile = nullptr;
};

class SecondComponentTest : public RunTest, public ::testing::WithParamInterface<SecondCase> {};

TEST_P(SecondComponentTest, NewerSensorSoftwareIsUpdated) {
  const SecondCase& c = GetParam();
  const bool terminal = c.reply208 != nullptr;
  ProfileSpec profile;
  if (terminal) {
    // An instrument with a terminal has S-record firmware (FileType 0).
    profile.progFile2 = "MULTI.MOT";
    profile.swKenn2 = "S00F0000";
  }
  profile.progFile3 = c.file;
  profile.swKenn3 = terminal ? "S00F0000" : "@F000\\r\\n";
  Install(profile);
  if (terminal) run_.dir.Write("MULTI.MOT", testing::SRecordImage("1.20"));
  run_.dir.Write(c.file, terminal ? testing::SRecordImage("3.10") : testing::TiTxtImage("3.10"));
  FirmwareScript script;
  script.version = c.instrument;
  if (terminal) script.extra = {{"A.2005", std::string("I.208#") + c.reply208 + "\r\n"}};
  run_.Answer(script);
  run_.Start();
  run_.PressOk();
  if (c.ownUpdate) {
    ASSERT_TRUE(run_.RunUntil([&] { return run_.Received(0, "A.2005"); }));
    EXPECT_EQ(run_.view.panels[2], "19200");
    EXPECT_EQ(run_.view.panels[3], "Version 3.10");
    EXPECT_TRUE(run_.loaders.programs.empty());
  } else {
    ASSERT_TRUE(run_.RunUntil([&] { return !run_.loaders.programs.empty(); }));
    const ProgramCall& call = run_.loaders.programs[0];
    EXPECT_EQ(call.kind, loaders::LoaderKind::Bsl430);
    EXPECT_EQ(call.component, 1);
    EXPECT_EQ(call.file, "SENSOR.TXT");
    EXPECT_TRUE(call.syncFirst);
    EXPECT_TRUE(call.queryFirst);
  }
  if (!terminal) return;
  // Reply 208 chooses the file; its check passes, so A.1220 lets the
  // Basic-Loader erase, and its acknowledgement starts the download.
  ASSERT_TRUE(run_.RunUntil([&] { return run_.loaders.basicLoaders == 1; }));
  EXPECT_TRUE(run_.Received(0, "A.1220"));
  EXPECT_EQ(loaders::TermProg::FileFor(run_.form->Record().Reply208Byte), std::string(c.terminalFile));
  EXPECT_TRUE(run_.loaders.programs.empty());
}

// A terminal whose download broke comes up without a firmware and the
// instrument reports nothing after ",": it still goes to its Basic-Loader,
// never to the MSP430 boot loader, which cannot take S-records.
INSTANTIATE_TEST_SUITE_P(
    Paths, SecondComponentTest,
    ::testing::Values(SecondCase{"OwnUpdate", "SENSOR.TXT", "1.20,3.00", true},
                      SecondCase{"BootLoader", "SENSOR.TXT", "1.20,0.10", false},
                      SecondCase{"TerminalUpdate", "L3_TermH.A37", "1.20,1.20", true, "0", "L3_TermH.A37"},
                      SecondCase{"TerminalWithoutFirmware", "L3_TermH.A37", "1.20", true, "0", "L3_TermH.A37"},
                      SecondCase{"TerminalWithoutVersionAfterComma", "l3_terml.a37", "1.20,", true, "1",
                                 "L3_TermL.A37"}),
    [](const ::testing::TestParamInfo<SecondCase>& info) { return info.param.name; });

TEST_F(RunTest, Replies208And31AfterARefusal) {
  FirmwareScript script;
  script.device = "99999.000";
  StartRun(script);
  ASSERT_TRUE(run_.RunUntilOutcome(RunOutcome::NotProgrammed));
  run_.dir.Write("L3_TermL.A37", testing::SRecordImage("1.30"));
  run_.instruments[0].Send("I.208#Z\r\n");
  ASSERT_TRUE(run_.RunUntil([&] { return run_.Received(0, "A.1220"); }));
  EXPECT_EQ(run_.form->Record().Reply208Byte, 'Z');
  run_.instruments[0].Send("B.31#\r\n");
  ASSERT_TRUE(run_.RunUntilOutcome(RunOutcome::Succeeded));
  EXPECT_TRUE(run_.Logged("Download successfully completed !"));
}

}  // namespace
}  // namespace updater
