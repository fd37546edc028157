// After identification: reply 920, the finish with and without air pressure,
// the abort and the retry on the next OK, the Lab data transfer, and
// programming started from the menu or by a Lab instrument's answer.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "run_fixture.h"

namespace updater {
namespace {

using testing::FirmwareScript;
using testing::ProfileSpec;
using testing::ProgramCall;
using testing::RunTest;

class Reply920Test : public RunTest, public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(Reply920Test, OldFirmwareOf20363GetsA1500OthersTheEntryCommand) {
  const auto [version, expected] = GetParam();
  ProfileSpec profile;
  profile.deviceNr = "20363";
  FirmwareScript script;
  script.device = "20363.000";
  script.version = version;
  run_.loaders.onProgram = [this](const ProgramCall&) {
    run_.instruments[0].Send("I.920#\r\n");
    return 1;
  };
  StartRun(script, profile);
  ASSERT_TRUE(run_.RunUntil([&] { return run_.Received(0, expected); })) << version;
  EXPECT_EQ(run_.workflow->SearchFailureCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Versions, Reply920Test,
                         ::testing::Values(std::pair{"1.049", "A.1500"}, std::pair{"1.05", "A.1200"}));

struct FinishCase {
  const char* device;
  const char* serial;
  const char* version;
  std::vector<std::string> tail;  // what the instrument gets after the identification
};

class FinishTest : public RunTest, public ::testing::WithParamInterface<FinishCase> {};

TEST_P(FinishTest, AirPressureIsWrittenOnlyForInstrumentsOfTheTable) {
  const FinishCase& c = GetParam();
  ProfileSpec profile;
  profile.deviceNr = c.device;
  FirmwareScript script;
  script.device = std::string(c.device) + ".000";
  script.serial = c.serial;
  script.version = c.version;
  FirmwareAcknowledgesAfterProgramming();
  StartRun(script, profile);
  ASSERT_TRUE(run_.RunUntilOutcome(RunOutcome::Succeeded));
  ASSERT_TRUE(run_.RunUntil([&] { return run_.instruments[0].Lines().size() >= 6 + c.tail.size(); }));
  const std::vector<std::string> lines = run_.instruments[0].Lines();
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 6, lines.end()), c.tail);
  EXPECT_FALSE(run_.form->Ports().At(0)->IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FinishTest,
    ::testing::Values(FinishCase{"28101", "14120331", "1.10", {"A.1000", "A.6162#952.3", "A.1121", "A.1121", "A.1121"}},
                      FinishCase{"28154", "12345", "1.10", {"A.1000", "A.6162#947.0", "A.1121", "A.1121", "A.1121"}},
                      FinishCase{"28160", "14180233", "0.10", {"A.1121"}}));

TEST_F(RunTest, AFailedProgrammingAbortsAndTheNextOkRetries) {
  int calls = 0;
  run_.loaders.onProgram = [&](const ProgramCall&) { return calls++ == 0 ? 0 : 1; };
  StartRun(FirmwareScript{});
  ASSERT_TRUE(run_.RunUntilOutcome(RunOutcome::Failed));
  EXPECT_EQ(run_.view.log, (std::vector<std::string>{"Aborted !!\r\nStart the boot loader by key\r\nThen OK"}));
  EXPECT_TRUE(run_.view.okEnabled);

  run_.PressOk();
  ASSERT_EQ(run_.loaders.programs.size(), 2u);
  const ProgramCall& retry = run_.loaders.programs[1];
  EXPECT_EQ(retry.kind, loaders::LoaderKind::Bsl430);
  EXPECT_EQ(retry.file, "MULTI.TXT");
  EXPECT_TRUE(retry.syncFirst);
  EXPECT_FALSE(retry.queryFirst);
  EXPECT_EQ(run_.form->Record().FlagA, 1);
  EXPECT_FALSE(run_.view.okEnabled);
  EXPECT_EQ(run_.workflow->Phase(), 7);
  std::size_t searches = 0;
  for (const std::string& line : run_.instruments[0].Lines()) searches += line == "A.1111" ? 1 : 0;
  EXPECT_EQ(searches, 1u);  // the OK did not start a new search
}

class LabDataTest : public RunTest {
 protected:
  void InstallData(const std::string& extraItems) {
    profile_.deviceNr = "28102";  // no air pressure for this type
    profile_.progFile2 = "MULTI.TXT," + extraItems;
    for (int i = 0; i < 600; ++i) first_ += static_cast<char>(i % 256);
    run_.dir.Write("DATA/a.dat", first_);
    run_.dir.Write("DATA/b.dat", "0123456789");
    script_.device = "28102.000";
    FirmwareAcknowledgesAfterProgramming();
  }

  ProfileSpec profile_;
  FirmwareScript script_;
  std::string first_;
};

TEST_F(LabDataTest, DataFilesGoInBlocksOf255AndTheRunEndsWithU606) {
  InstallData("DATA\\*.*");
  StartRun(script_, profile_);
  ASSERT_TRUE(run_.RunUntilOutcome(RunOutcome::Succeeded));
  ASSERT_TRUE(run_.RunUntil([&] { return run_.Received(0, "U.606"); }));
  const std::vector<std::string> lines = run_.instruments[0].Lines();
  const std::vector<std::string> tail(lines.begin() + 6, lines.end());
  ASSERT_EQ(tail.size(), 10u);
  EXPECT_EQ(tail[0], "A.12000#data\\a.dat");
  std::string sent;
  std::vector<std::size_t> sizes;
  for (int i = 1; i <= 3; ++i) {
    ASSERT_EQ(tail[i].rfind("A.12010#", 0), 0u);
    sizes.push_back(static_cast<unsigned char>(tail[i][8]));
    sent += tail[i].substr(9);
  }
  EXPECT_EQ(sizes, (std::vector<std::size_t>{255, 255, 90}));
  EXPECT_EQ(sent, first_);
  EXPECT_EQ(tail[4], "A.12030");
  EXPECT_EQ(tail[5], "A.12000#data\\b.dat");
  EXPECT_EQ(tail[6], std::string("A.12010#\x0A", 9) + "0123456789");
  EXPECT_EQ(tail[7], "A.12030");
  EXPECT_EQ(tail[8], "A.1121");
  EXPECT_EQ(tail[9], "U.606");
}

// A data file that is not there is named before the instrument is asked to
// start its boot loader: nothing is programmed, the instrument resumes.
TEST_F(LabDataTest, AMissingDataFileIsRefusedBeforeAnythingIsProgrammed) {
  InstallData("MISSING.DAT");
  StartRun(script_, profile_);
  ASSERT_TRUE(run_.RunUntilOutcome(RunOutcome::ConfigError));
  EXPECT_TRUE(run_.view.Called("box Error: Firmware file not found: MISSING.DAT"));
  EXPECT_TRUE(run_.view.okEnabled);
  EXPECT_TRUE(run_.loaders.programs.empty());
  ASSERT_TRUE(run_.RunUntil([&] { return run_.Received(0, "A.1121"); }));
  for (const std::string& line : run_.instruments[0].Lines()) EXPECT_EQ(line.rfind("A.12000#", 0), std::string::npos);
}

TEST_F(RunTest, ModelMenuRunsTheExternalHandlerThenANewRun) {
  ProfileSpec profile;
  profile.progFile2 = "MULTI.MOT";
  profile.progDefFile = "DEFAULT.TXT";
  profile.swKenn2 = "S00F0000";
  Install(profile);
  run_.dir.Write("MULTI.MOT", testing::SRecordImage("1.20"));
  run_.dir.Write("DEFAULT.TXT", "the tool's own file");
  run_.Answer(FirmwareScript{});
  run_.Start();
  run_.view.answers = {BoxAnswer::Yes};  // the menu knows no instrument version: same-version question
  run_.workflow->TG77xProgrammingClick(0);
  ASSERT_EQ(run_.loaders.externals.size(), 1u);
  EXPECT_EQ(run_.loaders.externals[0].first, loaders::ExternalHandler::HexLoad);
  EXPECT_EQ(run_.loaders.externals[0].second, "DEFAULT.TXT");
  ASSERT_TRUE(run_.RunUntil([&] { return run_.Received(0, "A.1111"); }));  // a new run searches
}

class BootLoaderProbeTest : public RunTest {
 protected:
  BootLoaderProbeTest() : RunTest({0}) {}  // a boot loader listens at any rate

  // Runs until the boot loader that answered the probe with "Q" is programmed;
  // from then on the instrument runs firmware that answers as `updated` says.
  ProgramCall ProgrammedAfterTheProbe(const FirmwareScript& updated = {}) {
    run_.instruments[0].onProbe = [](const std::string& bytes) {
      return bytes.find('\x80') != std::string::npos ? std::string("Q") : std::string();
    };
    // The instrument's thread reads its script: it is set before the start
    // and comes into force with the programming.
    const auto programmed = std::make_shared<std::atomic<bool>>(false);
    run_.instruments[0].onLine = [updated, programmed](const std::string& line) {
      return programmed->load() ? updated.Answer(line) : std::string();
    };
    run_.loaders.onProgram = [this, programmed](const ProgramCall&) {
      flagAWhenProgrammed_ = run_.form->Record().FlagA;
      probeStateWhenProgrammed_ = run_.workflow->ProbeState();
      programmed->store(true);
      return 1;
    };
    run_.Start();
    run_.PressOk();
    EXPECT_TRUE(run_.RunUntil([&] { return !run_.loaders.programs.empty(); }, 120000));
    return run_.loaders.programs.empty() ? ProgramCall{} : run_.loaders.programs[0];
  }

  char flagAWhenProgrammed_ = 0;
  std::int32_t probeStateWhenProgrammed_ = 0;
};

// A boot loader's announcement (10042) and a Lab answer (10044) start
// programming without a click: neither menu may start a second conversation.
TEST_F(BootLoaderProbeTest, ProgrammingStartedByTheInstrumentDisablesBothMenus) {
  Install();
  run_.Start();
  static const char kAnnounced[] = "BSL";
  const std::pair<std::int32_t, std::uintptr_t> events[] = {{EV_BOOT_FRAME, reinterpret_cast<std::uintptr_t>(kAnnounced)},
                                                            {EV_LAB_ANSWER, 'Q'}};
  for (const auto& [code, data] : events) {
    SCOPED_TRACE(code);
    run_.view.enabled[MenuItem::Programming] = true;
    run_.view.enabled[MenuItem::LabXXX] = true;
    run_.form->Events().PostMessage(code, data);
    run_.form->ProcessEvents();
    EXPECT_FALSE(run_.view.enabled[MenuItem::Programming]);
    EXPECT_FALSE(run_.view.enabled[MenuItem::LabXXX]);
  }
}

TEST_F(BootLoaderProbeTest, ANewRunForgetsTheProbeOfTheLastOne) {
  Install();
  ProgrammedAfterTheProbe();
  ASSERT_EQ(probeStateWhenProgrammed_, 3);
  // The programming ends with a new run, which searches from the first rate.
  EXPECT_TRUE(run_.RunUntil([&] { return run_.workflow->ProbeState() == 0; }));
}

// The Lab file when the installation has one; otherwise the instrument found in
// its boot loader (a blank one, or one a failed run left there) is given the
// installation's own firmware.
TEST_F(BootLoaderProbeTest, ALabInstrumentAnsweringTheProbeIsGivenTheLabFile) {
  Install();
  run_.dir.Write("labxxx.txt", testing::TiTxtImage("1.20"));
  const ProgramCall call = ProgrammedAfterTheProbe();
  EXPECT_EQ(call.kind, loaders::LoaderKind::Bsl54xx430);
  EXPECT_EQ(call.file, "LABXXX.TXT");
  EXPECT_FALSE(call.syncFirst);
  EXPECT_EQ(flagAWhenProgrammed_, 1);
}

TEST_F(BootLoaderProbeTest, WithoutALabFileTheInstallationsFirmwareIsGiven) {
  Install();
  EXPECT_EQ(ProgrammedAfterTheProbe().file, "MULTI.TXT");
}

// The run after the boot loader's programming finds the version it offered:
// that confirms the update, without offering the same version again.
TEST_F(BootLoaderProbeTest, TheRunAfterItConfirmsTheUpdate) {
  Install();
  FirmwareScript updated;
  updated.version = "1.20";
  ProgrammedAfterTheProbe(updated);
  ASSERT_TRUE(run_.RunUntilOutcome(RunOutcome::Succeeded));
  EXPECT_EQ(run_.loaders.programs.size(), 1u);
  EXPECT_FALSE(run_.view.Called("box Info: The latest software version1.20 is already in device."));
}

}  // namespace
}  // namespace updater
