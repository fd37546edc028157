// Whole runs over pseudo-terminals: search, identification, decision,
// programming through the loader factory, and the finish.
#include <gtest/gtest.h>

#include "run_fixture.h"

namespace updater {
namespace {

using testing::FirmwareScript;
using testing::RunTest;

TEST_F(RunTest, OlderInstrumentIsProgrammedAndFinishedWithAirPressure) {
  Install();
  run_.Answer(FirmwareScript{});
  FirmwareAcknowledgesAfterProgramming();
  run_.Start();
  run_.PressOk();
  ASSERT_TRUE(run_.RunUntilOutcome(RunOutcome::Succeeded));

  ASSERT_EQ(run_.loaders.programs.size(), 1u);
  const testing::ProgramCall& call = run_.loaders.programs[0];
  EXPECT_EQ(call.kind, loaders::LoaderKind::Bsl430);
  EXPECT_EQ(call.file, "MULTI.TXT");
  EXPECT_TRUE(call.syncFirst);
  EXPECT_TRUE(call.queryFirst);
  const std::vector<std::string> expected = {
      "A.1111", "A.1000", "A.2003", "A.2000", "A.2001", "A.4001",     // search and identification
      "A.1000", "A.6162#952.3", "A.1121", "A.1121", "A.1121"};  // air pressure, resume twice, finish
  EXPECT_EQ(run_.instruments[0].Lines(), expected);
  EXPECT_TRUE(run_.Logged("Download successfully completed !"));
  EXPECT_TRUE(run_.Logged("Disconnect the Multi 770 from the COM 1 port."));
  EXPECT_EQ(run_.view.title, "Update [ready]");
  EXPECT_EQ(run_.view.panels[3], "Version 1.20");
}

}  // namespace
}  // namespace updater
