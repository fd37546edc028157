// Identification over the wire: the reply families, old firmware, the
// comma answers of the sensor instruments, refusals and the version decision.
#include <gtest/gtest.h>

#include "run_fixture.h"

namespace updater {
namespace {

using testing::FirmwareScript;
using testing::ProfileSpec;
using testing::RunTest;

class FamilyTest : public RunTest, public ::testing::WithParamInterface<std::array<std::int32_t, 4>> {};

TEST_P(FamilyTest, EveryReplyFamilyIdentifiesTheInstrument) {
  FirmwareScript script;
  std::copy(GetParam().begin(), GetParam().end(), script.family);
  script.version = "1.20";  // same version: the question shows the identity was complete
  StartRun(script);
  ASSERT_TRUE(run_.RunUntilOutcome(RunOutcome::NotProgrammed));
  EXPECT_TRUE(run_.view.Called("identity 0: 28101.000  [Multi 770]"));
  EXPECT_TRUE(run_.view.Called("identity 1: 14120331"));
  EXPECT_TRUE(run_.view.Called("identity 2: 22075.000"));
  EXPECT_TRUE(run_.view.Called("identity 3: 1.20"));
  EXPECT_TRUE(run_.view.Called("box Info: The latest software version1.20 is already in device."));
}

INSTANTIATE_TEST_SUITE_P(Families, FamilyTest,
                         ::testing::Values(std::array<std::int32_t, 4>{23, 20, 21, 25},
                                           std::array<std::int32_t, 4>{203, 200, 201, 205},
                                           std::array<std::int32_t, 4>{2013, 2010, 2011, 25}));

TEST_F(RunTest, OldFirmwareIsNotAskedForItsSerialNumber) {
  FirmwareScript script;
  script.version = "0.05";
  script.knowsSerial = false;
  StartRun(script);
  ASSERT_TRUE(run_.RunUntil([&] { return !run_.loaders.programs.empty(); }));
  EXPECT_FALSE(run_.Received(0, "A.4001"));
  EXPECT_TRUE(run_.view.Called("identity 1:  "));
}

TEST_F(RunTest, SensorInstrumentAnswersWithCommasAndStartCmdIndex2) {
  ProfileSpec sensor;
  sensor.devStartCmd = "3";
  sensor.deviceNr = "21130";
  sensor.deviceNrDef = "21130.12";
  sensor.deviceName = "Sensor";
  FirmwareScript script;
  script.device = "3,21130.000";
  script.pcb = "7,21130.123";
  script.version = "5,1.10";
  script.serial = "9,12345678";
  StartRun(script, sensor);
  ASSERT_TRUE(run_.RunUntil([&] { return !run_.loaders.programs.empty(); }));
  EXPECT_TRUE(run_.view.Called("identity 0: 21130.123  [Sensor]"));
  EXPECT_TRUE(run_.view.Called("identity 1: 12345678"));
  EXPECT_TRUE(run_.view.Called("identity 2: 21130.123"));
  EXPECT_TRUE(run_.view.Called("identity 3: 1.10"));
  EXPECT_EQ(run_.form->Record().InstrumentVersion, 1100);
  EXPECT_EQ(run_.form->Record().SecondComponentFile.view(), "l3_terml.a37");
  EXPECT_EQ(run_.workflow->LoaderMode(), 0);
}

TEST_F(RunTest, StartCmdIndex3WithoutSensorAsksAndUsesItsEntryCommand) {
  ProfileSpec sensor;
  sensor.devStartCmd = "4";
  sensor.deviceNrDef = "XXXXX";
  sensor.deviceNr = "21130";
  FirmwareScript script;
  script.device = "21999.000";  // no comma: the sensor is missing
  script.pcb = "7,21130.123";
  script.version = "5,1.10";
  run_.view.answers = {BoxAnswer::Yes};
  StartRun(script, sensor);
  ASSERT_TRUE(run_.RunUntil([&] { return !run_.loaders.programs.empty(); }));
  EXPECT_TRUE(run_.view.Called("box Info: kein digitaler Sensor angeschlossen ?"));
  EXPECT_STREQ(run_.workflow->EntryCommand(), "A.1231\r\n");
  EXPECT_EQ(run_.workflow->LoaderMode(), 1);
  EXPECT_FALSE(run_.workflow->QueryFlag());
  EXPECT_EQ(run_.form->Record().FlagB, 1);
  EXPECT_EQ(run_.form->Record().SerialNumber.view(), "XXXXXXXX");
}

TEST_F(RunTest, WrongInstrumentIsRefusedWithTheKnownTypes) {
  FirmwareScript script;
  script.device = "99999.000";
  StartRun(script);
  ASSERT_TRUE(run_.RunUntilOutcome(RunOutcome::NotProgrammed));
  ASSERT_TRUE(run_.RunUntil([&] { return run_.Received(0, "A.1121"); }));
  EXPECT_TRUE(run_.view.Called("box Error: Wrong device connected !!"));
  EXPECT_TRUE(run_.Logged("Download is for an Multi 770,  !\r\nWrong device connected or wrong download program used."));
  EXPECT_TRUE(run_.loaders.programs.empty());
  EXPECT_TRUE(run_.view.okEnabled);
  EXPECT_TRUE(run_.workflow->IdentificationFailed());
}

struct DecisionCase {
  const char* name;
  const char* instrument;
  bool versionCheck;
  std::vector<BoxAnswer> answers;
  RunOutcome outcome;
  std::vector<std::string> boxes;  // beginnings of the boxes shown, in order
  bool force;
};

class DecisionTest : public RunTest, public ::testing::WithParamInterface<DecisionCase> {};

TEST_P(DecisionTest, ComparesTheVersionsAndAsks) {
  const DecisionCase& c = GetParam();
  FirmwareScript script;
  script.version = c.instrument;
  run_.view.answers.assign(c.answers.begin(), c.answers.end());
  FirmwareAcknowledgesAfterProgramming();
  Install();
  run_.Answer(script);
  run_.Start();
  if (!c.versionCheck) run_.form->FormKeyUp(HiddenKey::ToggleVersionCheck);
  run_.PressOk();
  ASSERT_TRUE(run_.RunUntilOutcome(c.outcome)) << c.name;
  std::vector<std::string> boxes;
  for (const std::string& call : run_.view.calls) {
    if (call.rfind("box ", 0) == 0) boxes.push_back(call);
  }
  ASSERT_EQ(boxes.size(), c.boxes.size()) << c.name;
  for (std::size_t i = 0; i < boxes.size(); ++i) EXPECT_EQ(boxes[i].rfind(c.boxes[i], 0), 0u) << boxes[i];
  EXPECT_EQ(run_.loaders.programs.size(), c.outcome == RunOutcome::Succeeded ? 1u : 0u) << c.name;
  EXPECT_EQ(run_.workflow->Force(), c.force) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Versions, DecisionTest,
    ::testing::Values(
        DecisionCase{"older", "1.10", true, {}, RunOutcome::Succeeded, {}, false},
        DecisionCase{"same, yes", "1.20", true, {BoxAnswer::Yes}, RunOutcome::Succeeded,
                     {"box Info: The latest software version1.20"}, true},
        DecisionCase{"same, no", "1.20", true, {BoxAnswer::No}, RunOutcome::NotProgrammed,
                     {"box Info: The latest software version1.20"}, false},
        DecisionCase{"newer, checked", "1.30", true, {}, RunOutcome::NotProgrammed,
                     {"box Error: No valid software version !!"}, false},
        DecisionCase{"newer, unchecked", "1.30", false, {BoxAnswer::Yes}, RunOutcome::Succeeded,
                     {"box Error: No valid software version !!", "box Info: The latest software version1.30"}, true}),
    [](const ::testing::TestParamInfo<DecisionCase>& info) {
      std::string name = info.param.name;
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

TEST_F(RunTest, NewerInstrumentIsLoggedWithItsVersion) {
  FirmwareScript script;
  script.version = "1.30";
  StartRun(script);
  ASSERT_TRUE(run_.RunUntilOutcome(RunOutcome::NotProgrammed));
  EXPECT_TRUE(run_.Logged("The software version1.30 in your device is more up to date then the download program "
                          "can provide."));
}

// The instrument acknowledges the resume command. That acknowledgement must not
// move a run that only identified on to programming.
TEST_F(RunTest, IdentifyOnlyProgramsNothingWhenTheResumeCommandIsAcknowledged) {
  Install();
  run_.Answer(FirmwareScript{});
  run_.Start();
  run_.form->SetIdentifyOnly(true);
  run_.PressOk();
  ASSERT_TRUE(run_.RunUntilOutcome(RunOutcome::Identified));
  ASSERT_TRUE(run_.RunUntil([&] { return run_.Received(0, "A.1121"); }, 2000));
  run_.RunUntil([] { return false; }, 1000);
  EXPECT_TRUE(run_.loaders.programs.empty());
  EXPECT_TRUE(run_.loaders.externals.empty());
  EXPECT_EQ(run_.form->Outcome(), RunOutcome::Identified);
}

}  // namespace
}  // namespace updater
